#!/usr/bin/env python3
"""The metainfo as the build makes it: valid for the software centres with no tag
waived, and in step with the bus name, the desktop entry, the manual pages, the
screenshot and the project's version.
Usage: check_metainfo.py SOURCE-DIR BUILD-DIR VERSION"""
import re
import subprocess
import sys
import xml.etree.ElementTree as ET
from pathlib import Path

source, build, version = Path(sys.argv[1]), Path(sys.argv[2]), sys.argv[3]
app_id = "org.orma.Qx50VoiceMemory"
metainfo = build / f"{app_id}.metainfo.xml"
failures = []


def check(ok, what):
    if not ok:
        failures.append(what)


validation = subprocess.run(["appstreamcli", "validate", "--no-net", str(metainfo)],
                            capture_output=True, text=True)
check(validation.returncode == 0, "appstreamcli validate:\n" + validation.stdout + validation.stderr)

root = ET.parse(metainfo).getroot()
component_id = root.findtext("id")
launchable = root.findtext("launchable[@type='desktop-id']")
check(launchable == f"{component_id}.desktop", f"the launchable {launchable} is not the id {component_id}")
check((source / "resources" / f"{component_id}.desktop").is_file(), f"no desktop entry {component_id}.desktop")

# The id is the name the panel owns on the session bus; the desktop entry it names
# still starts the program by its own name.
bus_names = re.findall(r'kService = "([^"]+)"', (source / "src" / "client" / "BusContract.h").read_text())
check(bus_names == [component_id], f"the id {component_id} is not the bus name {bus_names}")
desktop = (source / "resources" / f"{component_id}.desktop")
if desktop.is_file():
    check("Exec=orma-qx50-voice-mem\n" in desktop.read_text(), "the desktop entry does not run orma-qx50-voice-mem")

# Every program with a manual page is provided, and only those.
provided = sorted(binary.text for binary in root.findall("provides/binary"))
pages = sorted(page.stem for page in (source / "man").glob("*.1"))
check(provided == pages, f"the metainfo provides {provided}, the manual pages are {pages}")

releases = root.findall("releases/release")
check(bool(releases) and releases[0].get("version") == version,
      f"the newest release is {releases[0].get('version') if releases else None}, the project is {version}")

image = root.findtext("screenshots/screenshot/image") or ""
check(image.startswith("https://") and image.endswith("/docs/screenshot.png"), f"the screenshot is {image}")
check((source / "docs" / "screenshot.png").is_file(), "docs/screenshot.png is missing")
check(bool(root.findtext("screenshots/screenshot/caption")), "the screenshot has no caption")

for failure in failures:
    print("FAIL:", failure)
print(f"{0 if failures else 1} passed, {1 if failures else 0} failed")
sys.exit(1 if failures else 0)
