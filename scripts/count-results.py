"""Adds up the test cases in GoogleTest's XML reports below a folder: prints 'passed failed'."""
import pathlib
import sys
import xml.etree.ElementTree as ET

passed = failed = 0
for report in pathlib.Path(sys.argv[1]).rglob("*.xml"):
    try:
        suites = ET.parse(report).getroot()
    except ET.ParseError:
        failed += 1
        continue
    for case in suites.iter("testcase"):
        if case.get("result", "completed") == "skipped" or case.get("status") == "notrun":
            continue
        if case.find("failure") is not None:
            failed += 1
        else:
            passed += 1
print(passed, failed)
