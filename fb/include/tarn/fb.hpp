// SPDX-License-Identifier: MIT
#pragma once
// The whole public interface of libtarn-fb: the device session, the value
// stream and the readers of listing entries.
#include <tarn/fb/driver.hpp>
#include <tarn/fb/entries.hpp>
#include <tarn/fb/fifo.hpp>
#include <tarn/fb/locked_reply.hpp>
