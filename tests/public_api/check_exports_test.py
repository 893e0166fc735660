#!/usr/bin/env python3
"""The SDK export check against the built library, with the header and the not-yet-exported list
changed the ways a developer gets them wrong: each must be reported, the files as checked in not.

usage: check_exports_test.py <library> <header> <not-yet-exported list>
"""
import os
import sys
import tempfile
import unittest
from types import SimpleNamespace

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import check_exports  # noqa: E402

LIBRARY, HEADER, LIST = sys.argv[1:4]
# Exported by the library today, so neither on the list nor missing from it.
BUILT = "Kelvra_GetStatus"


class SdkExportCheck(unittest.TestCase):
    def setUp(self):
        self.work = tempfile.TemporaryDirectory()
        self.header_text = open(HEADER, encoding="utf-8").read()
        self.list_lines = open(LIST, encoding="utf-8").read().splitlines()
        self.pending = [line for line in self.list_lines if line and not line.startswith("#")]

    def tearDown(self):
        self.work.cleanup()

    def check(self, header_text=None, list_lines=None):
        header = os.path.join(self.work.name, "KelvraSdk.h")
        listing = os.path.join(self.work.name, "not_yet_exported.txt")
        with open(header, "w", encoding="utf-8") as out:
            out.write(self.header_text if header_text is None else header_text)
        with open(listing, "w", encoding="utf-8") as out:
            out.write("\n".join(self.list_lines if list_lines is None else list_lines) + "\n")
        args = SimpleNamespace(nm="nm", cxxfilt="c++filt", library=LIBRARY, header=header,
                               not_yet_exported=listing)
        return check_exports.check_sdk(args)

    def test_files_as_checked_in_pass(self):
        self.assertEqual(self.check(), [])

    def test_declared_function_neither_exported_nor_listed_fails(self):
        # A function declared but not built yet: the first name of the list, or, with every
        # function built, one added to the header.
        if self.pending:
            missing = self.pending[0]
            header = self.header_text
        else:
            missing = "Kelvra_NotBuiltYet"
            header = self.header_text + f"\nKELVRA_API int32_t {missing}(int32_t handle);\n"
        remaining = [line for line in self.list_lines if line != missing]
        self.assertEqual(self.check(header_text=header, list_lines=remaining),
                         [f"declared in the public header but not exported: {missing}"])

    def test_exported_function_still_listed_fails(self):
        problems = self.check(list_lines=self.list_lines + [BUILT])
        self.assertEqual(len(problems), 1)
        self.assertIn("take it off", problems[0])
        self.assertTrue(problems[0].endswith(BUILT))

    def test_exported_function_no_longer_declared_fails(self):
        declaration = f"KELVRA_API int32_t {BUILT}("
        self.assertIn(declaration, self.header_text)
        header = self.header_text.replace(declaration, "int32_t NotAnSdkFunction(")
        self.assertEqual(self.check(header_text=header),
                         [f"exported but not declared in the public header: {BUILT}"])

    def test_listed_name_that_is_not_declared_fails(self):
        problems = self.check(list_lines=self.list_lines + ["Kelvra_NoSuchFunction"])
        self.assertEqual(len(problems), 1)
        self.assertIn("not declared in the public header: Kelvra_NoSuchFunction", problems[0])


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1])
