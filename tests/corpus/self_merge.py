#!/usr/bin/python3
"""Fetches the real layers of Debian's packages into CORPUS_DIR (scripts/fetch-corpus.sh), merges every
shapefile there with itself and checks that the output is its input twice over: the .shp type, the fields (as
GDAL reads them and as the .dbf declares them), and per output record k the geometry, the values and the stored
.dbf bytes of input record k mod n; a .dbf without fields is checked on records and geometries. Every layer of
the GeoPackages there is merged with itself too and checked against GDAL's reading of it: per output record k
the values and the geometry of input record k mod n (rings as points in order, outer rings clockwise); a layer
without geometry must be refused, naming it. Exit 1 when a layer fails or none is found; 77 (skipped) when the
packages cannot be fetched, except in CI.

usage: self_merge.py FENNICK_MERGE CORPUS_DIR
"""

import os

import struct
import subprocess
import sys
import tempfile
from pathlib import Path

from osgeo import gdal, ogr

gdal.UseExceptions()


def dbf(path):
    """The declared fields (name, letter, width, decimals) and the stored records of a .dbf."""
    data = path.read_bytes()
    count, header, length = struct.unpack("<IHH", data[4:12])
    fields = [(d[:11].split(b"\0")[0], d[11], d[16], d[17])
              for d in (data[p:p + 32] for p in range(32, header - 1, 32)) if d[0] != 0x0D]
    return fields, [data[header + i * length:header + (i + 1) * length] for i in range(count)]


def layer(path):
    """GDAL's reading: the fields, and per record its ISO WKB and values."""
    ds = ogr.Open(str(path))  # kept: the layer lives as long as its dataset
    lyr = ds.GetLayer(0)
    defn = lyr.GetLayerDefn()
    fields = [(f.GetName(), f.GetTypeName(), f.GetWidth(), f.GetPrecision())
              for f in map(defn.GetFieldDefn, range(defn.GetFieldCount()))]
    return fields, [(bytes(f.GetGeometryRef().ExportToIsoWkb()) if f.GetGeometryRef() else None,
                     [f.GetField(i) if f.IsFieldSetAndNotNull(i) else None for i in range(len(fields))])
                    for f in lyr]


def difference(merge, shp, out):
    """The first difference of shp's self-merge from shp, or None."""
    run = subprocess.run([merge, "-o", str(out), str(shp), str(shp)], capture_output=True, text=True)
    if run.returncode != 0:
        return f"exit {run.returncode}: {' / '.join(run.stderr.split(chr(10)))}"
    types = [struct.unpack("<i", p.read_bytes()[32:36])[0] for p in (shp, out)]
    if types[0] != types[1]:
        return f".shp type {types[0]} became {types[1]}"
    (in_fields, inp), (out_fields, outp) = layer(shp), layer(out)
    n = len(inp)
    if len(outp) != 2 * n:
        return f"{len(outp)} records instead of {2 * n}"
    dbfs = None
    if in_fields:
        if in_fields != out_fields:
            return f"fields {in_fields} became {out_fields}"
        in_dbf = next(p for p in shp.parent.iterdir() if p.stem == shp.stem and p.suffix.lower() == ".dbf")
        dbfs = dbf(in_dbf), dbf(out.with_suffix(".dbf"))
        if dbfs[0][0] != dbfs[1][0]:
            return f"declared fields {dbfs[0][0]} became {dbfs[1][0]}"
    for k in range(2 * n):
        if inp[k % n][0] != outp[k][0]:
            return f"record {k}: another geometry"
        if dbfs and dbfs[0][1][k % n] != dbfs[1][1][k]:
            return f"record {k}: stored bytes {dbfs[0][1][k % n]!r} became {dbfs[1][1][k]!r}"
        if in_fields and inp[k % n][1] != outp[k][1]:
            return f"record {k}: GDAL reads {inp[k % n][1]} in the input, {outp[k][1]} in the output"
    return None


def ring_lists(geometry):
    """Per polygon ring or line: its (x, y) points and whether it is an outer ring."""
    if geometry is None or geometry.IsEmpty():
        return []
    geometry = geometry.GetLinearGeometry()
    flat = ogr.GT_Flatten(geometry.GetGeometryType())
    if flat in (ogr.wkbPoint, ogr.wkbMultiPoint):
        return [([geometry.GetGeometryRef(i).GetPoint_2D(0) for i in range(geometry.GetGeometryCount())]
                 if flat == ogr.wkbMultiPoint else [geometry.GetPoint_2D(0)], False)]
    parts = [geometry] if flat in (ogr.wkbPolygon, ogr.wkbLineString) else \
        [geometry.GetGeometryRef(i) for i in range(geometry.GetGeometryCount())]
    out = []
    for part in parts:
        if ogr.GT_Flatten(part.GetGeometryType()) == ogr.wkbPolygon:
            for r in range(part.GetGeometryCount()):
                ring = part.GetGeometryRef(r)
                out.append(([ring.GetPoint_2D(k) for k in range(ring.GetPointCount())], r == 0))
        else:
            out.append(([part.GetPoint_2D(k) for k in range(part.GetPointCount())], None))
    return out


def clockwise(points):
    return sum(a[0] * b[1] - b[0] * a[1] for a, b in zip(points, points[1:])) < 0


def same_geometry(expected, got):
    want, have = ring_lists(expected), ring_lists(got)
    if len(want) != len(have):
        return False
    for (points, outer), (out_points, _) in zip(want, have):
        if outer is not None and outer != clockwise(points):
            points = points[::-1]  # the shapefile's orientation
        if points != out_points:
            return False
    return True


def vector_difference(merge, argument, name, out):
    """The first difference of a vector layer's self-merge from GDAL's reading of it, or None."""
    run = subprocess.run([merge, "-o", str(out), argument, argument], capture_output=True, text=True)
    ds = ogr.Open(argument.rsplit(":", 1)[0] if name else argument)
    lyr = ds.GetLayerByName(name) if name else ds.GetLayer(0)
    if lyr.GetGeomType() == ogr.wkbNone:
        return None if run.returncode == 1 and "no geometry" in run.stderr else \
            f"a layer without geometry: exit {run.returncode}: {run.stderr.strip()}"
    if run.returncode != 0:
        return f"exit {run.returncode}: {' / '.join(run.stderr.split(chr(10)))}"
    defn = lyr.GetLayerDefn()
    names = [defn.GetFieldDefn(i).GetName() for i in range(defn.GetFieldCount())]
    inp = [(f.GetGeometryRef().Clone() if f.GetGeometryRef() else None,
            [f.GetField(i) if f.IsFieldSetAndNotNull(i) else None for i in range(len(names))]) for f in lyr]
    outds = ogr.Open(str(out))
    outp = [(f.GetGeometryRef().Clone() if f.GetGeometryRef() else None,
             [f.GetField(i) if f.IsFieldSetAndNotNull(i) else None for i in range(len(names))])
            for f in outds.GetLayer(0)]
    n = len(inp)
    if len(outp) != 2 * n:
        return f"{len(outp)} records instead of {2 * n}"
    for k in range(2 * n):
        if not same_geometry(inp[k % n][0], outp[k][0]):
            return f"record {k}: another geometry"
        for field, want, got in zip(names, inp[k % n][1], outp[k][1]):
            same = (got in (None, "")) if want is None else \
                (got is not None and float(got) == float(want)) if isinstance(want, (int, float)) else got == want
            if not same:
                return f"record {k}, field {field}: GDAL reads {want!r} in the input, {got!r} in the output"
    return None


def vector_layers(corpus):
    """The GeoPackages' layers as fennick-merge names them, with the layer's name where there are several."""
    for path in sorted(p for p in corpus.rglob("*") if p.suffix.lower() == ".gpkg"):
        names = [lyr.GetName() for lyr in ogr.Open(str(path))]
        if len(names) == 1:
            yield str(path), None, path
        else:
            yield from ((f"{path}:{name}", name, path) for name in names)


def main():
    merge, corpus = sys.argv[1], Path(sys.argv[2])
    fetched = subprocess.run([Path(__file__).parent / "../../scripts/fetch-corpus.sh", corpus]).returncode
    if fetched == 3 and not os.environ.get("CI"):
        print("corpus: SKIPPED: the Debian packages holding the layers cannot be fetched")
        return 77
    if fetched != 0:
        print(f"corpus: fetching the layers failed (exit {fetched})")
        return 1
    layers = sorted(p for p in corpus.rglob("*") if p.suffix.lower() == ".shp")
    failed = 0
    for shp in layers:
        with tempfile.TemporaryDirectory(prefix="fennick-corpus-") as tmp:
            diff = difference(merge, shp, Path(tmp) / "out.shp")
        failed += diff is not None
        print(f"{'FAIL' if diff else 'PASS'} {shp.relative_to(corpus)}" + (f": {diff}" if diff else ""))
    vectors = list(vector_layers(corpus))
    for argument, name, path in vectors:
        with tempfile.TemporaryDirectory(prefix="fennick-corpus-") as tmp:
            diff = vector_difference(merge, argument, name, Path(tmp) / "out.shp")
        failed += diff is not None
        label = f"{path.relative_to(corpus)}" + (f":{name}" if name else "")
        print(f"{'FAIL' if diff else 'PASS'} {label}" + (f": {diff}" if diff else ""))
    print(f"self-merge: {len(layers)} shapefiles and {len(vectors)} GeoPackage layers in {corpus}, {failed} failed")
    return 1 if failed or not layers else 0


if __name__ == "__main__":
    sys.exit(main())
