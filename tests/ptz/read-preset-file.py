#!/usr/bin/env python3
"""Reads a preset file with Python's own XML library and checks the names
that CXMLPrepositionReaderExport wrote into the second channel."""
import sys
import xml.etree.ElementTree as ElementTree

EXPECTED = [("Tor S\u00fcd", "0"), ("\u0412\u043e\u0440\u043e\u0442\u0430", "2"),
            ("\u6b63\u9580 100%", "4"), ('a&b<c>"d"', "6")]

root = ElementTree.parse(sys.argv[1]).getroot()
if root.tag != "root":
    sys.exit(f"document element is {root.tag!r}")
channel = root.find("PtzChannel02")
if channel is None:
    sys.exit("no PtzChannel02")
found = [(p.find("Name").get("value"), p.find("Slot").get("value")) for p in channel]
tags = [p.tag for p in channel]
if tags != ["Preposition000", "Preposition001", "Preposition002", "Preposition003"] or found != EXPECTED:
    sys.exit(f"read {tags} {found!r}")
print("preset file read back:", found)
