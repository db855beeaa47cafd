"""Python classes built from the type library: each interface member becomes
a method or a property whose calls go through GetIDsOfNames and Invoke."""

import inspect

from . import _velkor

METHOD = _velkor.DISPATCH_METHOD
GET = _velkor.DISPATCH_PROPERTYGET
PUT = _velkor.DISPATCH_PROPERTYPUT


class _MissingType:
    """Stands for an optional argument left out."""
    __slots__ = ()

    def __repr__(self):
        return "velkor.Missing"

    def __bool__(self):
        return False


Missing = _MissingType()


def _python_type(declared):
    text = declared.rstrip("*")
    if text in ("BSTR",):
        return "str"
    if text in ("VARIANT_BOOL", "boolean"):
        return "bool"
    if text in ("DOUBLE",):
        return "float"
    if text == "VARIANT":
        return "list" if declared.endswith("*") else "any"
    if text.startswith("IVNX"):
        return text
    return "int"   # LONG, INT, SHORT, BYTE, USHORT, ULONG and the enumerations


def _signature(parameters, with_self=True):
    items = [inspect.Parameter("self", inspect.Parameter.POSITIONAL_ONLY)] if with_self else []
    for p in parameters:
        items.append(inspect.Parameter(p.name, inspect.Parameter.POSITIONAL_OR_KEYWORD,
                                       default=Missing if p.optional else inspect.Parameter.empty,
                                       annotation=_python_type(p.type)))
    return inspect.Signature(items)


def _describe(member, kind):
    where = "%s, DISPID %d" % (member.interface, member.dispid)
    if kind == "method":
        result = member.result("method")
        returns = " -> " + _python_type(result.type) if result else ""
        text = "%s(%s)%s" % (member.name, ", ".join(p.name for p in member.inputs("method")), returns)
        return "%s\n\nMethod of %s." % (text, where)
    declared = (member.result("propget") or member.inputs("propput")[-1]).type.rstrip("*")
    access = " and ".join(k for k, present in (("get", "propget" in member.kinds), ("put", "propput" in member.kinds))
                          if present)
    index = member.index_parameters()
    shape = "%s[%s]" % (member.name, ", ".join(p.name for p in index)) if index else member.name
    return "%s: %s (%s), property (%s) of %s." % (shape, _python_type(declared), declared, access, where)


def _call(obj, member, kind, flags, arguments):
    handle = obj._handles[member.interface]
    key = (member.interface, member.name)
    dispid = obj._dispids.get(key)
    if dispid is None:
        dispid = obj._dispids[key] = handle.id_of_name(member.name)
    inputs = member.inputs(kind)
    passed = []
    for parameter, value in zip(inputs, arguments):
        if value is Missing:
            break   # only trailing optional arguments may be left out, and the signature saw to that
        if callable(value) and not isinstance(value, _velkor.NotificationWindow):
            value = _velkor.NotificationWindow(value)
        if isinstance(value, _velkor.NotificationWindow):
            # The window lives as long as the object it was given to, or
            # until the next one replaces it.
            obj._windows[(member.name, parameter.name)] = value
        if hasattr(value, "_handles"):
            value = next(iter(value._handles.values()))
        passed.append(value)
    answer = handle.invoke(dispid, flags, passed)
    result = member.result(kind)
    if result is None:
        return None
    declared = result.type.rstrip("*")
    if declared in ("boolean", "VARIANT_BOOL"):
        return bool(answer)
    if declared.startswith("IVNX") and answer is not None:
        return obj._wrap(answer, declared, obj)
    return answer


def _method(member):
    parameters = member.inputs("method")
    signature = _signature(parameters)

    def method(self, *args, **kwargs):
        bound = signature.bind(self, *args, **kwargs)
        bound.apply_defaults()
        values = list(bound.arguments.values())[1:]
        return _call(self, member, "method", METHOD | GET, values)

    method.__name__ = method.__qualname__ = member.name
    method.__signature__ = signature
    method.__doc__ = _describe(member, "method")
    return method


class IndexedProperty:
    """A property with arguments of its own: obj.StartPoint[axis] reads it,
    obj.StartPoint[axis] = value writes it; obj.SlotsNeeded(motor) reads too."""

    __slots__ = ("_object", "_member")

    def __init__(self, obj, member):
        self._object = obj
        self._member = member

    def _index(self, key):
        key = key if isinstance(key, tuple) else (key,)
        if len(key) != len(self._member.index_parameters()):
            raise TypeError("%s takes %s" % (self._member.name,
                                              ", ".join(p.name for p in self._member.index_parameters())))
        return list(key)

    def __getitem__(self, key):
        if "propget" not in self._member.kinds:
            raise AttributeError("%s cannot be read" % self._member.name)
        return _call(self._object, self._member, "propget", GET | METHOD, self._index(key))

    def __setitem__(self, key, value):
        if "propput" not in self._member.kinds:
            raise AttributeError("%s cannot be written" % self._member.name)
        _call(self._object, self._member, "propput", PUT, self._index(key) + [value])

    def __call__(self, *key):
        return self[key]

    def __repr__(self):
        return "<%s>" % _describe(self._member, "property").split(",")[0]


def _property(member):
    doc = _describe(member, "property")
    if member.index_parameters():
        return property(lambda self: IndexedProperty(self, member), doc=doc)
    getter = setter = None
    if "propget" in member.kinds:
        def getter(self):
            return _call(self, member, "propget", GET, [])
    if "propput" in member.kinds:
        def setter(self, value):
            _call(self, member, "propput", PUT, [value])
    return property(getter, setter, doc=doc)


class EngineObjectBase:
    """An engine object seen through one or more of its interfaces."""

    __slots__ = ("_handles", "_dispids", "_windows", "_wrap", "_creator", "__weakref__")
    _interface_names = ()

    def __init__(self, handles, wrap, creator=None):
        self._handles = handles    # interface name -> EngineObject
        self._dispids = {}         # (interface, member) -> DISPID from GetIDsOfNames
        self._windows = {}         # notification windows made from callables
        self._wrap = wrap          # (EngineObject, interface name, creator) -> object of its class
        # The engine drops a motor's record with its host: an object a member
        # returned keeps the object it came from alive.
        self._creator = creator

    def __repr__(self):
        return "<velkor %s object (%s)>" % (type(self).__name__, ", ".join(self._interface_names))

    def __eq__(self, other):
        if not isinstance(other, EngineObjectBase):
            return NotImplemented
        return next(iter(self._handles.values())).identity == next(iter(other._handles.values())).identity

    def __hash__(self):
        return hash(next(iter(self._handles.values())).identity)


def build_class(name, interfaces, doc):
    """A class offering every member of the interfaces; where two interfaces
    share a name, the earlier (the default one first) wins."""
    namespace = {"__slots__": (), "__doc__": doc, "_interface_names": tuple(i.name for i in interfaces)}
    for interface in interfaces:
        for member in interface.members.values():
            if member.name in namespace:
                continue
            namespace[member.name] = _method(member) if "method" in member.kinds else _property(member)
    return type(name, (EngineObjectBase,), namespace)
