"""Creating engine objects by ProgID and seeing them through their
interfaces."""

from . import _velkor
from .members import EngineObjectBase, build_class


class ObjectFactory:
    def __init__(self, library):
        self.library = library
        self._classes = {}

    def _class_for(self, name, interface_names):
        key = (name, tuple(interface_names))
        made = self._classes.get(key)
        if made is None:
            interfaces = [self.library.interfaces[i] for i in interface_names]
            doc = "%s: members of %s, from the engine's type library." % (name, ", ".join(interface_names))
            made = self._classes[key] = build_class(name, interfaces, doc)
        return made

    def view(self, handle, class_name, interface_names, creator=None):
        """The object behind `handle` through the named interfaces."""
        handles = {i: handle.query(self.library.interfaces[i].uuid) for i in interface_names}
        return self._class_for(class_name, interface_names)(handles, self.wrap, creator)

    def wrap(self, handle, interface, creator):
        """An object result: every interface of the class whose default
        interface the member declares."""
        known = self.library.class_of_interface(interface)
        if known is None:
            return self.view(handle, interface, [interface], creator)
        return self.view(handle, known.name, known.interfaces, creator)

    def create(self, prog_id, interface=None):
        known = self.library.class_named(prog_id)
        if known is None:
            # Let the runtime say what is wrong with the name; a class it
            # does know but the type library does not cannot be scripted.
            _velkor.EngineObject.create(prog_id, "{00020400-0000-0000-C000-000000000046}")
            raise TypeError("%s is not described by the engine's type library" % prog_id)
        names = known.interfaces
        if interface is not None:
            if interface not in names:
                raise ValueError("%s offers %s, not %s" % (known.name, ", ".join(names), interface))
            names = [interface]
        handle = _velkor.EngineObject.create(prog_id, self.library.interfaces[names[0]].uuid)
        return self.view(handle, known.name, names)

    def query(self, obj, interface):
        if not isinstance(obj, EngineObjectBase):
            raise TypeError("not an engine object: %r" % (obj,))
        if interface not in self.library.interfaces:
            raise ValueError("the type library has no interface %s" % interface)
        handle = next(iter(obj._handles.values()))
        return self.view(handle, type(obj).__name__, [interface], obj._creator)
