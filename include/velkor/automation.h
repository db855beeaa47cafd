#pragma once
// The automation runtime as clients see it.

#include "velkor/activation.h"
#include "velkor/automation_types.h"
#include "velkor/bstr.h"
#include "velkor/com_ptr.h"
#include "velkor/guid.h"
#include "velkor/unknown.h"
#include "velkor/variant.h"
