// SPDX-License-Identifier: MIT
#pragma once
// The whole public interface of libtarn-fb: the device session, the value
// stream, the readers of listing entries and the single-property write.
#include <tarn/fb/driver.hpp>
#include <tarn/fb/entries.hpp>
#include <tarn/fb/fifo.hpp>
#include <tarn/fb/locked_reply.hpp>
#include <tarn/fb/property_write.hpp>
