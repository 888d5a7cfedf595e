// The stand-in UI's one screen: a title bar naming the window's purpose, the
// tunnel's status word in a coloured badge, traffic in human units, whether
// WireGuard is installed, and the session's last call and reply.
#include "standins/engine/view_painter.h"

#include <string>
#include <vector>

#include "standins/engine/engine_objects.h"
#include "standins/engine/human_units.h"
#include "standins/engine/win_owners.h"

namespace standin {
namespace {

HFONT MakeFont(int pixel_height, int weight) {
  return CreateFontW(-pixel_height, 0, 0, 0, weight, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                     OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY,
                     DEFAULT_PITCH | FF_SWISS, L"Tahoma");
}

void FillBox(HDC dc, RECT box, COLORREF colour) {
  UniqueGdiObject brush(CreateSolidBrush(colour));
  FillRect(dc, &box, static_cast<HBRUSH>(brush.Get()));
}

// Draws |text| (UTF-8) in |box|; |flags| are DrawTextW's.
void Text(HDC dc, const std::string& text, RECT box, COLORREF colour, UINT flags) {
  std::wstring wide = Widen(text);
  SetTextColor(dc, colour);
  DrawTextW(dc, wide.c_str(), static_cast<int>(wide.size()), &box, flags | DT_NOPREFIX);
}

COLORREF StatusColour(const std::string& word) {
  if (word == "connected") return RGB(30, 140, 60);
  if (word == "disconnected") return RGB(110, 110, 110);
  if (word == "not_installed") return RGB(200, 120, 0);
  if (word.empty()) return RGB(160, 160, 160);
  return RGB(190, 40, 40);
}

}  // namespace

void PaintView(HDC dc, int width, int height, const ViewState& state) {
  const COLORREF ink = RGB(30, 30, 40);
  const COLORREF muted = RGB(100, 100, 115);
  FillBox(dc, RECT{0, 0, width, height}, RGB(246, 247, 250));
  FillBox(dc, RECT{0, 0, width, 64}, RGB(28, 52, 96));
  SetBkMode(dc, TRANSPARENT);

  UniqueGdiObject title_font(MakeFont(28, FW_BOLD));
  UniqueGdiObject label_font(MakeFont(18, FW_NORMAL));
  UniqueGdiObject value_font(MakeFont(20, FW_BOLD));
  UniqueGdiObject badge_font(MakeFont(30, FW_BOLD));
  {
    ScopedSelect select(dc, title_font.Get());
    Text(dc, "ORVA VPN \xE2\x80\x94 stand-in UI", RECT{20, 0, width - 20, 64}, RGB(255, 255, 255),
         DT_SINGLELINE | DT_VCENTER | DT_LEFT);
  }

  // Status badge.
  const std::string word = state.status_word.empty() ? "no status yet" : state.status_word;
  FillBox(dc, RECT{20, 84, width - 20, 144}, StatusColour(state.status_word));
  {
    ScopedSelect select(dc, badge_font.Get());
    Text(dc, word, RECT{36, 84, width - 36, 144}, RGB(255, 255, 255),
         DT_SINGLELINE | DT_VCENTER | DT_LEFT);
  }

  struct Row {
    std::string label;
    std::string value;
  };
  std::vector<Row> rows = {
      {"Received", state.have_stats ? HumanBytes(state.received_bytes) : "\xE2\x80\x93"},
      {"Sent", state.have_stats ? HumanBytes(state.sent_bytes) : "\xE2\x80\x93"},
      {"WireGuard installed", state.wireguard_installed < 0 ? "unknown"
                              : state.wireguard_installed   ? "yes"
                                                            : "no"},
      {"Calls answered", std::to_string(state.calls_answered)},
      {"Session", state.session_state},
      {"Last call", state.last_call.empty() ? "\xE2\x80\x93" : state.last_call},
      {"Last reply", state.last_reply.empty() ? "\xE2\x80\x93" : state.last_reply},
  };
  int top = 164;
  const int label_width = 220;
  for (const Row& row : rows) {
    {
      ScopedSelect select(dc, label_font.Get());
      Text(dc, row.label, RECT{20, top, 20 + label_width, top + 30}, muted,
           DT_SINGLELINE | DT_VCENTER | DT_LEFT);
    }
    ScopedSelect select(dc, value_font.Get());
    Text(dc, row.value, RECT{20 + label_width, top, width - 20, top + 30}, ink,
         DT_SINGLELINE | DT_VCENTER | DT_LEFT | DT_END_ELLIPSIS);
    top += 36;
  }
}

}  // namespace standin
