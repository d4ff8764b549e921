// SPDX-License-Identifier: MIT
#pragma once
// Writing one property: the single-property write with a value of a fixed
// wire type, and the conversion of a loosely typed value (a number or a name
// as a person or a document gives it) to the property's declared type.
#include <string>
#include <vector>

#include <boost/any.hpp>
#include <tarn/exception.hpp>
#include <tarn/fb/driver.hpp>
#include <tarn/fb/entries.hpp>
#include <tarn/fb/export.hpp>
#include <tarn/fb/property_write.hpp>

namespace tarn {
namespace fb {

// A value that cannot become a value of the property's declared type. `why`
// tells a name that is not known from a value that is known to be wrong.
class TARN_FB_EXPORT value_error : public tarn::exception::exception {
public:
    enum class reason {
        unknown_property,  // the block has no property of that name
        unknown_choice,    // an enum value names no choice of the enum
        out_of_range,      // a number the declared type cannot hold (uint8 300, a negative uint32, ...)
        wrong_type,        // a value of another kind (a float for an integer, text for a number, ...)
        not_writable,      // the declared type is one no write can carry (bool, arrays, objects)
    };
    value_error(reason why, const std::string& message);
    ~value_error() override;
    reason why;
};

// What a property is declared as: its type name ("float", "uint32", "uint8",
// "enum", or another value type name such as "double", "int32", "string",
// "float_vector") and, for an enum, its choices in order.
struct TARN_FB_EXPORT declared_type {
    std::string type;
    std::vector<std::string> choices;
};

// The property's declaration as a property listing shows it.
TARN_FB_EXPORT declared_type declaration_of(const property_data& listed);

// Converts `loose` to a value of the declared type, checking its range and
// names first; throws value_error (never unknown_property) when it cannot.
// `loose` may hold:
// - a number: double, float, long long, unsigned long long, int, unsigned
//   int, unsigned char, short, signed char. Integer types take integers in
//   range (a double with an integral value counts as one); float and double
//   take any number (a float property refuses a finite value beyond its range).
// - a std::string: an enum's choice name; for float and double also "nan",
//   "inf" and "-inf"; for a string property, the text.
// - for an enum, also an integer: the choice index.
// - for float_vector, a std::vector<float>, a std::vector<double> or a
//   std::vector<boost::any> of numbers.
// The result holds exactly one of: float ("float"), unsigned int ("uint32",
// "uint16"), unsigned char ("uint8"), int ("enum" index, "int8", "int16",
// "int32"), long long ("int64"), unsigned long long ("uint64"), double
// ("double"), std::string ("string"), std::vector<float> ("float_vector").
TARN_FB_EXPORT boost::any convert_value(const declared_type& declared, const boost::any& loose);

// One element of a bulk write (write_func_props) carrying `value`, which must
// hold one of the result types of convert_value; throws value_error
// (not_writable) for any other type.
TARN_FB_EXPORT property to_property(const std::string& name, const boost::any& value);

// Whether two converted values of the same declared type are the same value
// (floats by their bits, so that a NaN equals itself).
TARN_FB_EXPORT bool same_value(const boost::any& a, const boost::any& b);

// Whether a device's value (as a property listing reads it) equals a loose
// value, for the types no write can carry: numbers by value, text, true and
// false, null, and arrays (std::vector<boost::any> or numeric vectors) and
// objects (fifo::object) element by element.
TARN_FB_EXPORT bool same_loose_value(const boost::any& device_value, const boost::any& loose);

// The value as one word of a plan line: numbers in the shortest decimal that
// reads back the same, an enum as its choice name (its index when out of
// range; in double quotes when it holds a blank or is empty), text in double
// quotes with '"' and '\' escaped and control characters as \n, \t or
// \xHH, vectors as "[a,b]". `declared` tells an enum index from a plain int.
TARN_FB_EXPORT std::string value_text(const declared_type& declared, const boost::any& value);

// Writes one property of `block` converted to its declared type: lists the
// block's properties (one exchange) to learn the declaration, converts, and
// writes with one bulk property write. Throws value_error (unknown_property
// for a name the block does not have) before anything is written, or
// driver::error when the device refuses.
TARN_FB_EXPORT void write_converted(driver& session, const std::string& block, const std::string& property,
                                    const boost::any& loose);

}  // namespace fb
}  // namespace tarn
