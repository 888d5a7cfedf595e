// Out-of-line destructor of the messenger interface.
#include "engine_client/binary_messenger.h"

namespace flutter {

BinaryMessenger::~BinaryMessenger() = default;

}  // namespace flutter
