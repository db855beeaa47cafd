// _velkor: the compiled half of the Python module. The package `velkor`
// builds the attributes of each interface from the type library description
// on top of these few calls.

#include <pybind11/pybind11.h>

#include <exception>

#include "python/binding/engine_object.h"
#include "python/binding/notification.h"

namespace py = pybind11;
using velkor::python::EngineFailure;
using velkor::python::EngineObject;
using velkor::python::NotificationCallback;

namespace {

void RaiseEngineError(const EngineFailure& failure) {
  py::object type = py::module_::import("velkor.errors").attr("EngineError");
  py::object info = py::none();
  if (failure.hasErrorInfo) {
    info = py::dict(py::arg("description") = failure.description, py::arg("source") = failure.source,
                    py::arg("help_file") = failure.helpFile, py::arg("help_context") = failure.helpContext,
                    py::arg("interface_id") = failure.interfaceId);
  }
  py::object error = type(static_cast<long long>(failure.status), info);
  PyErr_SetObject(type.ptr(), error.ptr());
}

}  // namespace

PYBIND11_MODULE(_velkor, module) {
  module.doc() = "Automation client calls behind the velkor package";

  py::class_<EngineObject>(module, "EngineObject", "One interface of an engine object")
      .def_static("create", &EngineObject::Create, py::arg("prog_id"), py::arg("interface_id"),
                  "Creates an object by ProgID or \"{class id}\" and asks it for the interface")
      .def("query", &EngineObject::Query, py::arg("interface_id"), "QueryInterface for another interface")
      .def("id_of_name", &EngineObject::IdOfName, py::arg("name"), "GetIDsOfNames for one member name")
      .def("invoke", &EngineObject::Invoke, py::arg("dispid"), py::arg("flags"), py::arg("arguments"),
           "Invoke with the arguments in their written order")
      .def_property_readonly("identity", &EngineObject::Identity, "The object's IUnknown, the same for each interface");

  py::class_<NotificationCallback>(module, "NotificationWindow",
                                   "A callable as a notification window: callback(code, number) -> 0 cancels")
      .def(py::init<py::function>(), py::arg("callback"))
      .def_property_readonly("handle", &NotificationCallback::Handle)
      .def_property_readonly("callback", &NotificationCallback::Callback)
      .def("__index__", &NotificationCallback::Handle)
      .def("__int__", &NotificationCallback::Handle);

  module.attr("DISPATCH_METHOD") = DISPATCH_METHOD;
  module.attr("DISPATCH_PROPERTYGET") = DISPATCH_PROPERTYGET;
  module.attr("DISPATCH_PROPERTYPUT") = DISPATCH_PROPERTYPUT;

  py::register_exception_translator([](std::exception_ptr thrown) {
    try {
      if (thrown) std::rethrow_exception(thrown);
    } catch (const EngineFailure& failure) {
      RaiseEngineError(failure);
    }
  });
}
