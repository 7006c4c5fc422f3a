// The operating-system calls the serial component is written against, in Win32 vocabulary.
// On Windows this is <windows.h>; elsewhere it is our own implementation of the same calls,
// one header per area.
#pragma once

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
#include "platform/linux/Win32Base.h"
#include "platform/linux/Win32Comm.h"
#include "platform/linux/Win32Console.h"
#include "platform/linux/Win32File.h"
#include "platform/linux/Win32Registry.h"
#include "platform/linux/Win32Sync.h"
#include "platform/linux/Win32Time.h"
#include "platform/linux/Win32Window.h"
#endif
