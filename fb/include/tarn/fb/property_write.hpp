// SPDX-License-Identifier: MIT
#pragma once
// The single-property write: one property of one block set to a value of a
// fixed wire type.
#include <string>

#include <tarn/fb/driver.hpp>
#include <tarn/fb/export.hpp>

namespace tarn {
namespace fb {

// The single-property write (command 8 with one name and one value). A
// device failure throws driver::error with the device's code and the message
// "write_func_prop: <reason> (<block>.<property>)".
TARN_FB_EXPORT void write_func_prop(driver& session, const std::string& block, const std::string& property, int value);
TARN_FB_EXPORT void write_func_prop(driver& session, const std::string& block, const std::string& property,
                                    unsigned int value);
TARN_FB_EXPORT void write_func_prop(driver& session, const std::string& block, const std::string& property,
                                    float value);

}  // namespace fb
}  // namespace tarn
