"""The engine's own description of its classes and interfaces
(Velkor.tlb.json, written by the build beside the engine library)."""

import json
import os
from dataclasses import dataclass, field


@dataclass(frozen=True)
class Parameter:
    name: str
    type: str            # as the interface declares it, e.g. "LONG", "BSTR*", "IVNXMotor**"
    optional: bool
    retval: bool


@dataclass
class Member:
    """A method, or a property with its get and put, under one DISPID."""
    name: str
    dispid: int
    interface: str
    kinds: set = field(default_factory=set)          # "method", "propget", "propput"
    parameters: dict = field(default_factory=dict)   # kind -> [Parameter]

    def inputs(self, kind):
        return [p for p in self.parameters[kind] if not p.retval]

    def result(self, kind):
        found = [p for p in self.parameters[kind] if p.retval]
        return found[0] if found else None

    def index_parameters(self):
        """A property's own arguments (StartPoint's Axis); the value is not one."""
        if "propget" in self.kinds:
            return self.inputs("propget")
        return self.inputs("propput")[:-1]


@dataclass
class Interface:
    name: str
    uuid: str
    members: dict        # name -> Member, in the interface's order


@dataclass
class Class:
    name: str
    uuid: str
    prog_id: str
    independent_prog_id: str
    interfaces: list     # interface names, the default first


class TypeLibrary:
    def __init__(self, description):
        self.name = description["name"]
        self.enumerations = {
            e["name"]: {v["name"]: v["value"] for v in e["values"]} for e in description["enumerations"]}
        self.interfaces = {}
        for entry in description["interfaces"]:
            interface = Interface(entry["name"], entry["uuid"], {})
            for m in entry["members"]:
                member = interface.members.get(m["name"])
                if member is None:
                    member = interface.members[m["name"]] = Member(m["name"], m["dispid"], entry["name"])
                if member.dispid != m["dispid"]:
                    raise ValueError("%s.%s has two DISPIDs" % (entry["name"], m["name"]))
                member.kinds.add(m["kind"])
                member.parameters[m["kind"]] = [
                    Parameter(p["name"], p["type"], bool(p.get("optional")), bool(p.get("retval")))
                    for p in m["parameters"]]
            self.interfaces[interface.name] = interface
        self.classes = {}
        for entry in description["classes"]:
            ordered = sorted(entry["interfaces"], key=lambda i: not i["default"])
            self.classes[entry["name"]] = Class(entry["name"], entry["uuid"], entry["progid"],
                                                entry["versionIndependentProgid"],
                                                [i["name"] for i in ordered])

    def class_named(self, text):
        """The class of a ProgID (with or without version) or "{class id}"."""
        wanted = text.lower()
        for c in self.classes.values():
            if wanted in (c.prog_id.lower(), c.independent_prog_id.lower(), c.uuid.lower()):
                return c
        return None

    def class_of_interface(self, interface):
        """The class whose default interface this is (IVNXMotor: VNXMotor)."""
        for c in self.classes.values():
            if c.interfaces[0] == interface:
                return c
        return None


def description_path(engine_folder):
    return os.path.join(engine_folder, "Velkor.tlb.json")


def load(engine_folder):
    with open(description_path(engine_folder), encoding="utf-8") as file:
        return TypeLibrary(json.load(file))
