"""The one exception the module raises for failures of the engine and of the
automation runtime underneath it."""

# Failures the runtime reports without error information of the engine.
_RUNTIME_FAILURES = {
    0x80004001: "not implemented",
    0x80004002: "the object does not offer that interface",
    0x80004003: "a required pointer was missing",
    0x80004005: "unspecified failure",
    0x8007000E: "out of memory",
    0x80070057: "invalid argument",
    0x80040154: "the class is not registered",
    0x800401F3: "no class has that program identifier",
    0x800401F8: "the engine library cannot be loaded",
    0x800401F9: "the engine library has no class factory entry",
    0x80020003: "no such member",
    0x80020004: "a required argument is missing",
    0x80020005: "an argument has a type the member cannot take",
    0x80020006: "no member of that name",
    0x8002000A: "an argument is out of range for the member",
    0x8002000E: "wrong number of arguments",
}


class EngineError(Exception):
    """A call the engine (or the runtime) failed.

    description  the engine's message, e.g. "Cannot open serial port!"
    code         the engine error code (0..46), None without engine error information
    parameter    the number that belongs to it: a motor address, a system error number
    source       the error's source as the engine names it
    hresult      the call's status as an unsigned 32-bit number
    """

    def __init__(self, hresult, info=None):
        self.hresult = hresult & 0xFFFFFFFF
        info = info or {}
        self.has_error_info = bool(info)
        context = info.get("help_context", 0)
        self.description = info.get("description") or _RUNTIME_FAILURES.get(self.hresult, "call failed")
        self.code = context & 0xFFFF if info else None
        self.parameter = context >> 16 if info else None
        self.source = info.get("source", "")
        self.help_file = info.get("help_file", "")
        self.help_context = context
        self.interface_id = info.get("interface_id", "")
        super().__init__(self.hresult, self.description)

    def __str__(self):
        if self.code is None:
            return "%s (0x%08X)" % (self.description, self.hresult)
        return "%s (engine error %d, parameter %d, source %s)" % (
            self.description, self.code, self.parameter, self.source)
