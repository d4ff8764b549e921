// SPDX-License-Identifier: MIT
#pragma once
// TARN_FB_EXPORT marks the classes and functions that libtarn-fb exports; the
// library is built with hidden visibility, so anything unmarked stays inside.
#if defined(TARN_FB_BUILDING)
#define TARN_FB_EXPORT __attribute__((visibility("default")))
#else
#define TARN_FB_EXPORT
#endif
