// The test server library: the TestWidget class behind the four exports.
#include "platform/com/testing/test_widget.h"


namespace {
const com::TypeLibRegistration kTypeLib{LIBID_TestWidgetLib, "1.0", "ComrtTest 1.0 Type Library"};
}  // namespace

RM_COM_SERVER_EXPORTS(kTestServerClasses, &kTypeLib)
