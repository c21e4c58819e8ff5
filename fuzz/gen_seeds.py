#!/usr/bin/env python3
"""Writes the handmade seeds of the binary-reader fuzz corpus (fuzz/corpus/binary_reader/).

Each seed is a binary configuration file in the "1.4" form: valid documents
with shared records, parents defined after their children, text and
attributes, one document in several record orders (attributes and texts
before the elements they belong to), plus a few malformed ones that stop the
reader early."""
import os
import struct
import sys


def be16(v):
    return struct.pack(">H", v)


def body(records):
    out = b""
    for text, typ, a, b in records:
        t = text.encode()
        out += be16(len(t)) + t + typ.encode() + be16(len(a))
        out += b"".join(be16(x) for x in a)
        if typ != "v":
            out += b"".join(be16(x) for x in b)
    return out


def binfile(records, entries=None, maxcount=None, strings=None, version=b"1.4"):
    ids = [x for r in records for x in r[2]]
    e = entries if entries is not None else (max(ids) + 1 if ids else 1)
    m = maxcount if maxcount is not None else max((len(r[2]) for r in records), default=0)
    s = strings if strings is not None else sum(len(r[0].encode()) + 1 for r in records)
    bd = body(records)
    crc = (sum(bd) + (bd[-1] if bd else 0)) & 0xFFFFFFFF
    hdr = b"KAVXMLSEED" + version.ljust(6, b"\0")[:6] + be16(e) + be16(0) + be16(m) + b"\0" * 10
    hdr += be16(s) + be16(0) + struct.pack(">I", crc)
    assert len(hdr) == 40
    return hdr + bd


def doc(elem):
    """elem = (name, [(attr, value)], text, [children]) -> records, one per occurrence."""
    recs = []
    counter = [1]

    def visit(e, parent):
        name, attrs, text, kids = e
        my = counter[0]
        counter[0] += 1
        recs.append((name, "e", [my], [parent]))
        for k, v in attrs:
            n = counter[0]
            counter[0] += 2
            recs.append((k, "a", [n], [my]))
            recs.append((v, "v", [n + 1], []))
        if text:
            recs.append((text, "t", [counter[0]], [my]))
            counter[0] += 1
        for k in kids:
            visit(k, my)

    visit(elem, 0)
    return recs


def shared(elem):
    """The records of doc(elem) with each string stored once per role, in the
    order of the string's first occurrence."""
    merged = {}
    for text, typ, a, b in doc(elem):
        rec = merged.setdefault((text, typ), (text, typ, [], []))
        rec[2].extend(a)
        rec[3].extend(b)
    return list(merged.values())


def by_type(records, types):
    return [r for t in types for r in records if r[1] == t]


def at_first_occurrence(records):
    """Records where their string first occurs; a value after the records of
    its attribute names."""
    name_record_start = {i: min(r[2]) for r in records if r[1] == "a" for i in r[2]}

    def key(r):
        at = min(r[2])
        if r[1] == "v":
            at = max([at] + [name_record_start[i - 1] for i in r[2]])
        return (at, r[1] == "v")

    return sorted(records, key=key)


# "class" first occurs on the first Card and also belongs to a later Slot and
# to Note; the text "on" first occurs in a Slot and also belongs to Note.
ORDER_DOC = ("Root", [("class", "IpDomain"), ("instanceName", "base")], "", [
    ("Card", [("class", "Osc"), ("instanceName", "osc0")], "",
     [("Slot", [("id", "1")], "on", []), ("Slot", [("class", "Osc"), ("id", "2")], "", [])]),
    ("Card", [("class", "Pll")], "", [("Slot", [("hidden", "true"), ("id", "1")], "off", [])]),
    ("Note", [("class", "Osc")], "on", []),
    ("Empty", [], "", [])])

SEEDS = {
    "order_compiler.bin": binfile(by_type(shared(ORDER_DOC), "eavt")),
    "order_by_type.bin": binfile(by_type(shared(ORDER_DOC), "tave")),
    "order_first_occurrence.bin": binfile(at_first_occurrence(shared(ORDER_DOC))),
    # An attribute and a text whose element never comes; an element defined
    # twice after its attribute made its node.
    "owner_never_defined.bin": binfile([("Root", "e", [1], [0]), ("k", "a", [3], [2]), ("v", "v", [4], []),
                                        ("t", "t", [5], [2])]),
    "owner_defined_twice.bin": binfile([("Root", "e", [1], [0]), ("k", "a", [3], [2]), ("v", "v", [4], []),
                                        ("X", "e", [2, 2], [1, 1])]),
    "document.bin": binfile(doc(("IpDomainRoot", [("class", "IpDomain"), ("instanceName", "base")], "",
                                 [("Slot", [("id", "0x10000")], "", []),
                                  ("Card", [("hidden", "true")], "some text", [("Slot", [], "", [])]),
                                  ("ParameterEntry", [("name", "p"), ("value", "1, 2 ,3")], "", [])]))),
    "filelist.bin": binfile(doc(("FileList", [], "", [
        ("ID1", [("mainType", "StringIdEntry"), ("Name", "n"), ("parseName", "p")], "",
         [("ID2", [("subType", "Any")], "StringIdTable.bin", [])]),
        ("ID1", [("mainType", "IpDomainRoot"), ("Name", "root"), ("parseName", "r")], "",
         [("ID2", [("subType", "")], "IpDomainRoot.bin", []), ("ID2", [("subType", "Any")], "x.bin", [])])]))),
    "shared.bin": binfile([("Root", "e", [1], [0]), ("Slot", "e", [2, 5], [1, 1]), ("n", "a", [3, 6], [2, 5]),
                           ("v", "v", [4], []), ("w", "v", [7], [])]),
    "late_parent.bin": binfile([("Root", "e", [1], [0]), ("Slot", "e", [3, 5], [2, 4]), ("A", "e", [2], [1]),
                                ("B", "e", [4], [1])]),
    "root_only.bin": binfile([("R", "e", [1], [0])]),
    "unknown_type.bin": binfile([("Root", "e", [1], [0]), ("?", "x", [2], [1]), ("C", "e", [3], [1])]),
    "bad_value.bin": binfile([("Root", "e", [1], [0]), ("v", "v", [1], [])]),
    "count_above_m.bin": binfile([("Root", "e", [1], [0]), ("X", "e", [2, 3], [1, 1])], maxcount=1),
    "truncated.bin": binfile(doc(("Root", [("a", "b")], "", [("C", [], "t", [])])))[:-3],
}


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "corpus", "binary_reader")
    os.makedirs(out, exist_ok=True)
    for name, data in SEEDS.items():
        with open(os.path.join(out, name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()
