// qzkit._core: the heart-rate library, its constants file and the recording
// readers, bound for the Python package.
#include "Bindings.h"
#include "ToolkitError.h"

PYBIND11_MODULE(_core, module)
{
    module.doc() = "The heart-rate library and the companion program's library, bound for Python.";
    module.attr("__version__") = QZ_VERSION_NUMBER;
    // The toolkit's one-line errors about the user's input become qzkit.Error, a ValueError.
    pybind11::register_exception<qzkit::ToolkitError>(module, "Error", PyExc_ValueError);
    BindEstimator(module);
    BindConstants(module);
    BindRecordings(module);
}
