#include "threading/ThreadHandle.h"
