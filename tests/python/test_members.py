"""The members the module offers are the type library's, and the engine's
own dispatch tables give them the type library's DISPIDs."""

import inspect
import json
import os
import pydoc
import unittest

import simulated_motors
import velkor


def setUpModule():
    global configuration, motors
    configuration = simulated_motors.isolate_configuration()
    motors = simulated_motors.SimulatedMotors("port chain\nmotor address=1\n")


def tearDownModule():
    motors.close()
    configuration.cleanup()


def read_description():
    with open(os.path.join(velkor.ENGINE_FOLDER, "Velkor.tlb.json"), encoding="utf-8") as file:
        return json.load(file)


class MembersTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.description = read_description()
        host = velkor.Dispatch("VNXEngine.VNXHost")
        host.OpenPort(motors.ports[0])
        host.AddressMotorChain()
        cls.objects = {"VNXHost": host, "VNXScan": velkor.Dispatch("VNXEngine.VNXScan"), "VNXMotor": host.GetMotor(1)}

    @classmethod
    def tearDownClass(cls):
        cls.objects.clear()

    def test_names_and_dispids_are_the_type_librarys(self):
        for klass in self.description["classes"]:
            whole = self.objects[klass["name"]]
            names = [i["name"] for i in klass["interfaces"]]
            self.assertEqual(sorted(velkor.interfaces(whole)), sorted(names))
            for interface in (i for i in self.description["interfaces"] if i["name"] in names):
                view = velkor.QueryInterface(whole, interface["name"])
                described = {m["name"]: m["dispid"] for m in interface["members"]}
                offered = {n for n in dir(view) if not n.startswith("_")}
                self.assertEqual(offered, set(described), interface["name"])
                for name, dispid in described.items():
                    # GetIDsOfNames on the interface's own dispatch table.
                    self.assertEqual(velkor.dispid(view, name), dispid, "%s.%s" % (interface["name"], name))
                    self.assertIn(name, dir(whole))

    def test_parameters_and_help_follow_the_description(self):
        host = self.objects["VNXHost"]
        for interface in self.description["interfaces"]:
            for member in (m for m in interface["members"] if m["kind"] == "method"):
                owner = self.objects["VNXScan" if interface["name"] in ("IVNXScan", "IVNXErrors") else
                                     "VNXMotor" if interface["name"] == "IVNXMotor" else "VNXHost"]
                signature = inspect.signature(getattr(velkor.QueryInterface(owner, interface["name"]), member["name"]))
                inputs = [p for p in member["parameters"] if p["direction"] == "in"]
                self.assertEqual(list(signature.parameters), [p["name"] for p in inputs], member["name"])
                optional = [n for n, p in signature.parameters.items() if p.default is not inspect.Parameter.empty]
                self.assertEqual(optional, [p["name"] for p in inputs if p.get("optional")], member["name"])
        text = pydoc.render_doc(host, renderer=pydoc.plaintext)
        self.assertIn("AveTimeDelta: 'int', MinTimeDelta: 'any' = velkor.Missing", text)
        self.assertIn("GetMotor(Address) -> IVNXMotor", text)
        self.assertIn("GenerateArcPath(MaxSpeed, Endpoint, Center, ArcDirection) -> list", text)
        self.assertIn("StartPoint[Axis]: float (DOUBLE), property (get and put) of IVNXPath, DISPID 3.", text)
        self.assertIn("PortName: str (BSTR), property (get) of IVNXComm, DISPID 28.", text)

    def test_enumerations_are_module_constants(self):
        for enumeration in self.description["enumerations"]:
            for value in enumeration["values"]:
                self.assertEqual(getattr(velkor, value["name"]), value["value"])

    def test_every_property_read_gives_its_declared_type(self):
        # Reads go through each member's dispatch entry: a wrong entry shows
        # as a runtime failure or as a value of another type.
        python_types = {"LONG": int, "INT": int, "DOUBLE": float, "BSTR": str, "VARIANT_BOOL": bool,
                        "boolean": bool, "enum_parity": int}
        for name in ("VNXHost", "VNXScan"):
            obj = self.objects[name]
            for interface in velkor.interfaces(obj):
                for member in velkor.TYPE_LIBRARY.interfaces[interface].members.values():
                    if "propget" not in member.kinds or member.index_parameters():
                        continue
                    declared = member.result("propget").type.rstrip("*")
                    try:
                        value = getattr(obj, member.name)
                    except velkor.EngineError as error:
                        self.assertIsNotNone(error.code, "%s: %s" % (member.name, error))  # the engine refused
                        continue
                    self.assertIs(type(value), python_types[declared], member.name)


if __name__ == "__main__":
    unittest.main()
