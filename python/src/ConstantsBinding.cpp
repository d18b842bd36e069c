// SPDX-License-Identifier: Apache-2.0
// The constants file for Python: the image as bytes, its fields by name, the
// text form, the design and the tool's way of reading the file.
#include <cstring>
#include <string>
#include <vector>

#include <pybind11/stl.h>
#include <pybind11/stl/filesystem.h>

#include "Bindings.h"
#include "ToolkitError.h"
#include "constants/ConstantsCheck.h"
#include "constants/ConstantsDesign.h"
#include "constants/ConstantsText.h"
#include "io/FileBytes.h"

namespace py = pybind11;
using qzkit::ConstantsField;
using qzkit::ConstantsImage;
using qzkit::FieldType;

ConstantsImage ImageOf(const py::bytes &bytes)
{
    const std::string text = bytes;
    if (text.size() != qzkit::kConstantsImageBytes) {
        throw qzkit::ToolkitError("constants are 31 bytes, not " + std::to_string(text.size()));
    }
    ConstantsImage image{};
    std::memcpy(image.data(), text.data(), image.size());
    return image;
}

namespace {

py::bytes BytesOf(const ConstantsImage &image)
{
    return {reinterpret_cast<const char *>(image.data()), image.size()};
}

// The tool's read: the file or base name + ".pvx.filters.v1", its first 31
// bytes, refused with the tool's message and the count read.
py::bytes ReadConstants(const std::filesystem::path &path)
{
    const std::filesystem::path file = qzkit::ConstantsFilePath(path);
    const std::string message = "Error in reading filter input, read ";
    std::vector<std::uint8_t> bytes;
    try {
        bytes = qzkit::ReadFileBytes(file);
    } catch (const qzkit::ToolkitError &) {
        PyErr_SetObject(PyExc_FileNotFoundError, PythonText(message + "0 (" + file.string() + ")").ptr());
        throw py::error_already_set();
    }
    if (bytes.size() < qzkit::kConstantsImageBytes) {
        throw qzkit::ToolkitError(message + std::to_string(bytes.size()) + " (" + file.string() + ")");
    }
    return {reinterpret_cast<const char *>(bytes.data()), qzkit::kConstantsImageBytes};
}

py::object ValueAt(const ConstantsImage &image, const ConstantsField &field, std::size_t index)
{
    if (field.type == FieldType::ThreeByteFloat) {
        return py::float_(static_cast<double>(qzkit::DecodeFloat24(qzkit::ReadFloatValue(image, field, index))));
    }
    return py::int_(qzkit::ReadIntegerValue(image, field, index));
}

bool IsInteger(const py::handle &value)
{
    return PyIndex_Check(value.ptr()) != 0 && !PyBool_Check(value.ptr());
}

bool IsReal(const py::handle &value)
{
    const PyNumberMethods *number = Py_TYPE(value.ptr())->tp_as_number;
    return IsInteger(value) || (!PyBool_Check(value.ptr()) && number != nullptr && number->nb_float != nullptr);
}

// A field takes a number of its kind and nothing that would be converted on
// the way: an integer field an int (not 30.7, True or "40"), a float field a
// real number. A value out of the field's range is an Error.
void StoreAt(ConstantsImage &image, const ConstantsField &field, std::size_t index, const py::handle &value)
{
    const bool isFloat = field.type == FieldType::ThreeByteFloat;
    if (!(isFloat ? IsReal(value) : IsInteger(value))) {
        throw py::type_error(std::string(field.name) + (isFloat ? " takes a number" : " takes an integer") +
                             ", not " + py::repr(value).cast<std::string>());
    }
    if (isFloat) {
        qzkit::WriteFloatValue(image, field, index, qzkit::EncodeFloat24(value.cast<double>()));
        return;
    }
    int overflow = 0;
    const auto integer = py::reinterpret_steal<py::object>(PyNumber_Index(value.ptr()));
    if (!integer) {
        throw py::error_already_set();
    }
    const long long number = PyLong_AsLongLongAndOverflow(integer.ptr(), &overflow);
    if (overflow != 0) {
        throw qzkit::ToolkitError(py::str(integer).cast<std::string>() + " cannot be stored in " +
                                  std::string(field.name) + " (" + std::to_string(qzkit::FieldMinimum(field.type)) +
                                  " to " + std::to_string(qzkit::FieldMaximum(field.type)) + ")");
    }
    qzkit::WriteIntegerValue(image, field, index, number);
}

// A one-value field as a number, an array field as a tuple.
py::object GetField(const py::bytes &bytes, const std::string &name)
{
    const ConstantsImage image = ImageOf(bytes);
    const ConstantsField &field = qzkit::FindConstantsField(name);
    if (field.count == 1) {
        return ValueAt(image, field, 0);
    }
    py::tuple values(field.count);
    for (std::size_t i = 0; i < field.count; ++i) {
        values[i] = ValueAt(image, field, i);
    }
    return values;
}

py::bytes SetField(const py::bytes &bytes, const std::string &name, const py::object &value)
{
    ConstantsImage image = ImageOf(bytes);
    const ConstantsField &field = qzkit::FindConstantsField(name);
    if (field.count == 1) {
        StoreAt(image, field, 0, value);
        return BytesOf(image);
    }
    if (!py::isinstance<py::sequence>(value) || py::isinstance<py::str>(value)) {
        throw py::type_error(std::string(field.name) + " takes a sequence of " + std::to_string(field.count) +
                             " values, not " + py::repr(value).cast<std::string>());
    }
    const auto values = value.cast<std::vector<py::object>>();
    if (values.size() != field.count) {
        throw qzkit::ToolkitError(std::string(field.name) + " takes " + std::to_string(field.count) + " values, not " +
                                  std::to_string(values.size()));
    }
    for (std::size_t i = 0; i < field.count; ++i) {
        StoreAt(image, field, i, values[i]);
    }
    return BytesOf(image);
}

py::list FieldNames()
{
    py::list names;
    for (const ConstantsField &field : qzkit::ConstantsFields()) {
        names.append(py::make_tuple(std::string(field.name), std::string(field.meaning)));
    }
    return names;
}

// NOLINTNEXTLINE(readability-function-size): one parameter per Python keyword argument
py::tuple Design(double rate, double lowpass, double highpass, int highpassOrder, double swing,
                 std::uint16_t minBpm, std::uint16_t maxBpm, std::uint16_t onePeakBpm)
{
    const qzkit::ConstantsDesign design = qzkit::DesignConstants(
        {rate, lowpass, highpass, highpassOrder, swing, minBpm, maxBpm, onePeakBpm});
    return py::make_tuple(BytesOf(design.image), qzkit::DescribeDesign(design));
}

}  // namespace

void BindConstants(py::module_ &module)
{
    module.def(
        "constants_image", [](const py::bytes &image) { return BytesOf(ImageOf(image)); }, py::arg("image"),
        "The bytes when they are a 31-byte constants image; Error otherwise.");
    module.def("constants_fields", &FieldNames, "(name, meaning) of every field, in file order.");
    module.def("get_field", &GetField, py::arg("image"), py::arg("name"));
    module.def("set_field", &SetField, py::arg("image"), py::arg("name"), py::arg("value"),
               "The image with one field changed; floats are stored rounded to the 3-byte format.");
    module.def("read_constants", &ReadConstants, py::arg("path"));
    module.def(
        "write_constants",
        [](const std::filesystem::path &path, const py::bytes &image) { qzkit::WriteConstantsFile(path, ImageOf(image)); },
        py::arg("path"), py::arg("image"));
    module.def(
        "constants_from_text",
        [](const std::string &text, const std::string &source) {
            return BytesOf(qzkit::ParseConstantsText(text, source).image);
        },
        py::arg("text"), py::arg("source"));
    module.def(
        "constants_to_text", [](const py::bytes &image) { return qzkit::FormatConstantsText(ImageOf(image)); },
        py::arg("image"));
    module.def(
        "constants_warnings", [](const py::bytes &image) { return qzkit::CheckConstants(ImageOf(image)); },
        py::arg("image"));
    const qzkit::DesignRequest defaults;
    module.def("design_constants", &Design, py::kw_only(), py::arg("rate") = defaults.rate,
               py::arg("lowpass") = defaults.lowPassCutoff, py::arg("highpass") = defaults.highPassCutoff,
               py::arg("highpass_order") = defaults.highPassOrder, py::arg("swing") = defaults.swing,
               py::arg("min_bpm") = defaults.minBpm, py::arg("max_bpm") = defaults.maxBpm,
               py::arg("one_peak_bpm") = defaults.onePeakBpm,
               "The image and the description of a constants set designed from physical choices.");
}
