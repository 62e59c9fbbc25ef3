#!/usr/bin/python3
"""Merges every shapefile of a folder with itself and checks that the output is the input twice over.

usage: self_merge.py FENNICK_MERGE CORPUS_DIR

Each output record k must equal input record k mod n: its geometry as GDAL reads it, its values as GDAL reads
them and its stored .dbf bytes. The output must also keep the input's fields (as GDAL reads them and as they
are declared in the .dbf header) and its .shp shape type. A layer whose .dbf has no fields is checked on its
records and geometries only, since the output gets a field of its own there.
Exit status: 0 every layer passes, 1 a layer fails or no layer was found, 2 usage.
"""

import struct
import subprocess
import sys
import tempfile
from pathlib import Path

from osgeo import gdal, ogr

gdal.UseExceptions()


def companion(shp, ext):
    """The file beside shp with extension ext in any letter case, or None."""
    for p in shp.parent.iterdir():
        if p.stem == shp.stem and p.suffix.lower() == ext:
            return p
    return None


def shp_type(path):
    with open(path, "rb") as f:
        return struct.unpack("<i", f.read(36)[32:36])[0]


class Dbf:
    """The raw .dbf: its declared fields and each record's stored bytes."""

    def __init__(self, path):
        self.data = path.read_bytes()
        self.count, self.header_len, self.record_len = struct.unpack("<IHH", self.data[4:12])
        self.fields = []  # (name, type letter, width, decimals, offset in the record)
        offset = 1  # after the deletion flag
        pos = 32
        while pos + 32 <= self.header_len and self.data[pos] != 0x0D:
            d = self.data[pos:pos + 32]
            name = d[:11].split(b"\0")[0].decode("latin-1")
            self.fields.append((name, chr(d[11]), d[16], d[17], offset))
            offset += d[16]
            pos += 32

    def record(self, i):
        start = self.header_len + i * self.record_len
        return self.data[start:start + self.record_len]

    def field_at(self, offset):
        for name, _, width, _, start in self.fields:
            if start <= offset < start + width:
                return name, start, width
        return "(deletion flag)", 0, 1


def read_layer(path):
    """GDAL's reading of a layer: its fields and, per record, its ISO WKB and its values."""
    ds = ogr.Open(str(path))
    layer = ds.GetLayer(0)
    defn = layer.GetLayerDefn()
    fields = [(f.GetName(), f.GetTypeName(), f.GetWidth(), f.GetPrecision())
              for f in (defn.GetFieldDefn(i) for i in range(defn.GetFieldCount()))]
    records = []
    for feature in layer:
        geom = feature.GetGeometryRef()
        wkb = bytes(geom.ExportToIsoWkb()) if geom is not None else None
        values = [feature.GetField(i) if feature.IsFieldSetAndNotNull(i) else None
                  for i in range(len(fields))]
        records.append((wkb, values))
    return fields, records


def wkt(wkb):
    if wkb is None:
        return "no geometry"
    text = ogr.CreateGeometryFromWkb(wkb).ExportToIsoWkt()
    return text if len(text) <= 120 else text[:120] + "..."


def describe(fields):
    return ", ".join(f"{n} {t}({w},{p})" for n, t, w, p in fields)


def record_difference(k, n, inp, out, in_dbf, out_dbf, has_fields, in_fields):
    """The first difference of output record k from input record k mod n, or None."""
    src = k % n
    in_wkb, in_values = inp[src]
    out_wkb, out_values = out[k]
    where = f"record {k} (input record {src})"
    if in_wkb != out_wkb:
        return f"{where}: geometry {wkt(in_wkb)} became {wkt(out_wkb)}"
    if not has_fields:
        return None
    in_rec, out_rec = in_dbf.record(src), out_dbf.record(k)
    if in_rec != out_rec:
        at = next((i for i in range(min(len(in_rec), len(out_rec))) if in_rec[i] != out_rec[i]),
                  min(len(in_rec), len(out_rec)))
        name, start, width = in_dbf.field_at(at)
        return (f"{where}, field {name}: stored bytes {in_rec[start:start + width]!r} "
                f"became {out_rec[start:start + width]!r}")
    for (name, *_), a, b in zip(in_fields, in_values, out_values):
        if a != b:
            return f"{where}, field {name}: GDAL reads {a!r} in the input, {b!r} in the output"
    return None


def check(merge, shp, tmp):
    """The first difference of the self-merge of shp from its input, or None."""
    out_shp = tmp / "out.shp"
    run = subprocess.run([merge, "-o", str(out_shp), str(shp), str(shp)],
                         capture_output=True, text=True, timeout=120)
    if run.returncode != 0:
        words = " / ".join(line.strip() for line in run.stderr.splitlines() if line.strip())
        return f"fennick-merge exited {run.returncode}: {words}"

    in_type, out_type = shp_type(shp), shp_type(out_shp)
    if in_type != out_type:
        return f".shp shape type {in_type} became {out_type}"

    in_fields, inp = read_layer(shp)
    out_fields, out = read_layer(out_shp)
    n = len(inp)
    if len(out) != 2 * n:
        return f"{n} input records, {len(out)} output records instead of {2 * n}"

    has_fields = bool(in_fields)
    in_dbf = out_dbf = None
    if has_fields:
        if in_fields != out_fields:
            return f"fields as GDAL reads them: [{describe(in_fields)}] became [{describe(out_fields)}]"
        in_dbf, out_dbf = Dbf(companion(shp, ".dbf")), Dbf(tmp / "out.dbf")
        for a, b in zip(in_dbf.fields, out_dbf.fields):
            if a[:4] != b[:4]:
                return ("field {0}: declared {0} {1}({2},{3}) in the input .dbf, {5} {6}({7},{8}) in the output"
                        .format(*a, *b))
        if out_dbf.count != 2 * n:
            return f"the output .dbf header counts {out_dbf.count} records instead of {2 * n}"

    first, failing = None, 0
    for k in range(2 * n):
        diff = record_difference(k, n, inp, out, in_dbf, out_dbf, has_fields, in_fields)
        if diff:
            failing += 1
            first = first or diff
    if first:
        return f"{first} ({failing} of {2 * n} output records differ)"
    return None


def main():
    if len(sys.argv) != 3:
        print(__doc__.strip().splitlines()[2], file=sys.stderr)
        return 2
    merge, corpus = sys.argv[1], Path(sys.argv[2])
    layers = sorted(p for p in corpus.rglob("*") if p.suffix.lower() == ".shp" and p.is_file())
    failed = []
    for shp in layers:
        name = shp.relative_to(corpus)
        with tempfile.TemporaryDirectory(prefix="fennick-corpus-") as tmp:
            try:
                diff = check(merge, shp, Path(tmp))
            except Exception as e:  # a layer the check itself cannot read fails, and the run goes on
                diff = f"cannot be checked: {type(e).__name__}: {e}"
        print(f"{'FAIL' if diff else 'PASS'} {name}" + (f": {diff}" if diff else ""), flush=True)
        if diff:
            failed.append(name)

    print(f"self-merge: {len(layers)} layers checked in {corpus}, "
          f"{len(layers) - len(failed)} pass, {len(failed)} fail")
    if not layers:
        print("self-merge: no shapefile found: the corpus is missing or empty")
        return 1
    for name in failed:
        print(f"  failing: {name}")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
