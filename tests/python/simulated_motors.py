"""velkor-sim started for a test, as a user starts it in a second terminal,
with the registry stand-in and the configuration in a temporary folder so
that nothing of the machine's own is read or written."""

import os
import re
import subprocess
import tempfile

BINARY_FOLDER = os.environ["VELKOR_BINARY_FOLDER"]
EXAMPLES_FOLDER = os.environ["VELKOR_EXAMPLES_FOLDER"]


def isolate_configuration():
    """Points the engine (in this process and in the children) at temporary
    registry files and folders; returns the folder."""
    folder = tempfile.TemporaryDirectory(prefix="velkor-python-")
    os.environ["VELKOR_REGISTRY"] = os.path.join(folder.name, "user.reg")
    os.environ["VELKOR_REGISTRY_MACHINE"] = os.path.join(folder.name, "machine.reg")
    os.environ["XDG_CONFIG_HOME"] = os.path.join(folder.name, "config")
    os.environ["XDG_RUNTIME_DIR"] = folder.name
    os.environ["VELKOR_USB_DEVICES"] = os.path.join(folder.name, "usb-devices")
    return folder


class SimulatedMotors:
    """velkor-sim serving a scenario given as text; stopped by close()."""

    def __init__(self, scenario):
        self._folder = tempfile.TemporaryDirectory(prefix="velkor-scenario-")
        path = os.path.join(self._folder.name, "test.scn")
        with open(path, "w") as file:
            file.write(scenario)
        self._process = subprocess.Popen([os.path.join(BINARY_FOLDER, "velkor-sim"), path],
                                         stdout=subprocess.PIPE, stdin=subprocess.PIPE, text=True)
        self.printed = ""
        for line in self._process.stdout:
            self.printed += line
            if line.startswith("serving"):
                break
        else:
            raise RuntimeError("velkor-sim did not start:\n" + self.printed)
        self.ports = re.findall(r"^COM\d+ (/dev/\S+)", self.printed, re.MULTILINE)

    def close(self):
        self._process.terminate()
        self._process.communicate(timeout=30)
        self._folder.cleanup()

    def __enter__(self):
        return self

    def __exit__(self, *exception):
        self.close()
