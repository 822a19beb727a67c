// Everything of the COM runtime: the Win32-named types and functions and the
// helpers for writing COM classes.
#pragma once

#include "platform/com/winerror.h"
#include "platform/com/guiddef.h"
#include "platform/com/unknwn.h"
#include "platform/com/oaidl.h"
#include "platform/com/objidl.h"
#include "platform/com/ocidl.h"
#include "platform/com/oleauto.h"
#include "platform/com/objbase.h"
#include "platform/com/com_ptr.h"
#include "platform/com/com_object.h"
#include "platform/com/class_factory.h"
#include "platform/com/dispatch_table.h"
#include "platform/com/connection_point.h"
#include "platform/com/registration.h"
#include "platform/com/server_module.h"
#include "platform/com/com_thread.h"
