"""Scripting of the Velkor engine through its dispatch interfaces.

    import velkor
    host = velkor.Dispatch("VNXEngine.VNXHost")
    host.OpenPort("COM3")
    motor = host.GetMotor(1)
    print(motor.GetResponseOf("RP"))

The attributes of an object are the members of its interfaces, read from
the engine's type library (Velkor.tlb.json beside the engine): methods take
their parameters (optional ones may be left out), properties are read and
written as attributes, a property with arguments of its own is indexed
(path.StartPoint[1] = 0.0). A failed call raises EngineError.
"""

import os

from ._engine_folder import ENGINE_FOLDER as _BUILT_ENGINE_FOLDER


def _engine_folder():
    named = os.environ.get("VELKOR_LIBRARY")
    if named:
        return os.path.dirname(os.path.abspath(named))
    # Without registration the runtime falls back to the engine named here;
    # for this package that is the engine it was built with.
    os.environ["VELKOR_LIBRARY"] = os.path.join(_BUILT_ENGINE_FOLDER, "libvelkor.so")
    return _BUILT_ENGINE_FOLDER


ENGINE_FOLDER = _engine_folder()

from . import type_library as _type_library           # noqa: E402
from ._velkor import NotificationWindow                 # noqa: E402
from .errors import EngineError                         # noqa: E402
from .members import EngineObjectBase, Missing          # noqa: E402
from .objects import ObjectFactory as _ObjectFactory    # noqa: E402

TYPE_LIBRARY = _type_library.load(ENGINE_FOLDER)
_factory = _ObjectFactory(TYPE_LIBRARY)

# The enumerations' values as constants: velkor.vnx_even, velkor.vnx_clockwise.
for _values in TYPE_LIBRARY.enumerations.values():
    globals().update(_values)
del _values


def Dispatch(prog_id, interface=None):
    """Creates an engine object by ProgID ("VNXEngine.VNXHost",
    "VNXEngine.VNXScan") or "{class id}". Its attributes are the members of
    all its interfaces, or of the one named by `interface`."""
    return _factory.create(prog_id, interface)


def QueryInterface(obj, interface):
    """The same engine object through one interface only, e.g.
    velkor.QueryInterface(host, "IVNXPath")."""
    return _factory.query(obj, interface)


def dispid(obj, name):
    """The DISPID the object's GetIDsOfNames gives for a member name."""
    for interface, handle in obj._handles.items():
        if name in TYPE_LIBRARY.interfaces[interface].members:
            return handle.id_of_name(name)
    raise AttributeError("%s has no member %s" % (type(obj).__name__, name))


def interfaces(obj):
    """The names of the interfaces the object is seen through."""
    return list(obj._handles)


__all__ = ["Dispatch", "QueryInterface", "EngineError", "NotificationWindow", "Missing", "EngineObjectBase",
           "dispid", "interfaces", "TYPE_LIBRARY", "ENGINE_FOLDER"] + [
    name for values in TYPE_LIBRARY.enumerations.values() for name in values]
