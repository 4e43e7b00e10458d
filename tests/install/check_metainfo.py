#!/usr/bin/env python3
"""The metainfo as the build makes it: valid for the software centres, and in step
with the desktop entry, the screenshot and the project's version.
Usage: check_metainfo.py SOURCE-DIR BUILD-DIR VERSION"""
import subprocess
import sys
import xml.etree.ElementTree as ET
from pathlib import Path

source, build, version = Path(sys.argv[1]), Path(sys.argv[2]), sys.argv[3]
metainfo = build / "orma-qx50-voice-mem.metainfo.xml"
failures = []


def check(ok, what):
    if not ok:
        failures.append(what)


# The id is the desktop entry's name, not a reverse domain name: that one warning is
# expected; every other warning or error fails.
validation = subprocess.run(
    ["appstreamcli", "validate", "--no-net", "--override=cid-desktopapp-is-not-rdns=info", str(metainfo)],
    capture_output=True, text=True)
check(validation.returncode == 0, "appstreamcli validate:\n" + validation.stdout + validation.stderr)

root = ET.parse(metainfo).getroot()
component_id = root.findtext("id")
launchable = root.findtext("launchable[@type='desktop-id']")
check(launchable == f"{component_id}.desktop", f"the launchable {launchable} is not the id {component_id}")
check((source / "resources" / f"{component_id}.desktop").is_file(), f"no desktop entry {component_id}.desktop")

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
