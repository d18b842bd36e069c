// SPDX-License-Identifier: Apache-2.0
// qzkit._core: the heart-rate library, its constants file and the recording
// readers, bound for the Python package.
#include "Bindings.h"
#include "ToolkitError.h"

pybind11::str PythonText(const std::string &text)
{
    PyObject *decoded = PyUnicode_DecodeUTF8(text.data(), static_cast<Py_ssize_t>(text.size()), "backslashreplace");
    if (decoded == nullptr) {
        throw pybind11::error_already_set();
    }
    return pybind11::reinterpret_steal<pybind11::str>(decoded);
}

PYBIND11_MODULE(_core, module)
{
    module.doc() = "The heart-rate library and the companion program's library, bound for Python.";
    module.attr("__version__") = QZ_VERSION_NUMBER;
    // The toolkit's one-line errors about the user's input become qzkit.Error,
    // a ValueError, with the whole message whatever the encoding of the names in it.
    static PyObject *const error =
        pybind11::register_exception<qzkit::ToolkitError>(module, "Error", PyExc_ValueError).ptr();
    pybind11::register_exception_translator([](std::exception_ptr thrown) {
        try {
            if (thrown) {
                std::rethrow_exception(thrown);
            }
        } catch (const qzkit::ToolkitError &problem) {
            PyErr_SetObject(error, PythonText(problem.what()).ptr());
        }
    });
    BindEstimator(module);
    BindConstants(module);
    BindRecordings(module);
    BindEvaluation(module);
    BindTune(module);
}
