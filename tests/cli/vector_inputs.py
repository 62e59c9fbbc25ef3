#!/usr/bin/python3
"""Makes a layer of FORMAT with GDAL (every field type the format keeps, nulls, multi geometries, Z, holes, a
curve where the format has them), merges it with a shapefile by fennick-merge --match-names and compares the
output with GDAL's reading of both inputs, value by value and geometry by geometry (rings as points in order,
outer rings clockwise). Also the layer rules: a named layer, a missing one, a list field. Exit 1 on the first
difference.

With KINDS instead of a format: the geometry rules, a GeoPackage layer per row merged with itself.

usage: vector_inputs.py FENNICK_MERGE FORMAT|KINDS
"""

import os
import subprocess
import sys
import tempfile
from pathlib import Path

from osgeo import gdal, ogr, osr

gdal.UseExceptions()

# driver, extension, curves, Z, times (a Time field), the layer's declared geometry type
FORMATS = {
    "GPKG": ("GPKG", "gpkg", True, True, True, ogr.wkbUnknown),
    "GeoJSON": ("GeoJSON", "geojson", False, True, True, ogr.wkbUnknown),
    "GeoJSONSeq": ("GeoJSONSeq", "geojsonl", False, True, True, ogr.wkbUnknown),
    "FlatGeobuf": ("FlatGeobuf", "fgb", False, True, True, ogr.wkbMultiPolygon25D),
    "KML": ("KML", "kml", False, True, False, ogr.wkbUnknown),
    "GML": ("GML", "gml", True, True, True, ogr.wkbUnknown),
    "MIF": ("MapInfo File", "mif", False, False, True, ogr.wkbUnknown),
    "CSV": ("CSV", "csv", True, True, True, ogr.wkbUnknown),
    "OpenFileGDB": ("OpenFileGDB", "gdb", False, True, False, ogr.wkbMultiPolygon25D),
    "SQLite": ("SQLite", "sqlite", False, True, True, ogr.wkbUnknown),
}

SQUARE = "(0 0,0 10,10 10,10 0,0 0)"
HOLE = "(2 2,4 2,4 4,2 4,2 2)"  # counter-clockwise, as a shapefile's holes run
GEOMETRIES = [
    f"POLYGON ({SQUARE},{HOLE})",
    "MULTIPOLYGON (((20 0,30 0,30 10,20 0)),((40 0,40 5,45 5,40 0)))",
    None,
]
CURVE = "CURVEPOLYGON (CIRCULARSTRING (50 0,55 5,60 0,55 -5,50 0))"


def with_z(wkt):
    geometry = ogr.CreateGeometryFromWkt(wkt)
    geometry.Set3D(True)
    for g in [geometry] + [geometry.GetGeometryRef(i) for i in range(geometry.GetGeometryCount())]:
        for ring in [g] + [g.GetGeometryRef(i) for i in range(g.GetGeometryCount())]:
            for k in range(ring.GetPointCount()):
                ring.SetPoint(k, ring.GetX(k), ring.GetY(k), 100 + k)
    return geometry


def make_layer(folder, name):
    driver, ext, curves, z, times, declared = FORMATS[name]
    path = folder / f"layer.{ext}"
    options = ["GEOMETRY=AS_WKT"] if name == "CSV" else ["SPATIALITE=YES"] if name == "SQLite" else []
    ds = gdal.GetDriverByName(driver).Create(str(path), 0, 0, 0, gdal.GDT_Unknown, options=options)
    srs = osr.SpatialReference()
    srs.ImportFromEPSG(32632)
    layer = ds.CreateLayer("parcels", srs, declared, options=["FID=fid"] if name == "OpenFileGDB" else [])
    fields = [("count", ogr.OFTInteger, None), ("big", ogr.OFTInteger64, None), ("area", ogr.OFTReal, None),
              ("name_long_1", ogr.OFTString, None), ("day", ogr.OFTDate, None),
              ("stamp", ogr.OFTDateTime, None), ("flag", ogr.OFTInteger, ogr.OFSTBoolean)]
    if times:
        fields.append(("clock", ogr.OFTTime, None))
    for field, kind, subtype in fields:
        defn = ogr.FieldDefn(field, kind)
        if subtype is not None:
            defn.SetSubType(subtype)
        layer.CreateField(defn)
    rows = [(7, 2**40 + 3, 1234.5678, "Zürich", (2024, 2, 29), (2024, 2, 29, 13, 4, 5.25, 100), 1, (8, 9, 10)),
            (-3, -5, -0.001, "x", (1999, 12, 31), (2001, 1, 2, 3, 4, 5, 104), 0, (23, 59, 59.5)),
            (None,) * 8]
    shapes = GEOMETRIES + ([CURVE] if curves else [])
    for k, wkt in enumerate(shapes):
        feature = ogr.Feature(layer.GetLayerDefn())
        for i, (field, kind, _) in enumerate(fields):
            value = rows[k % len(rows)][i]
            if value is None:
                feature.SetFieldNull(field)
            elif kind in (ogr.OFTDate, ogr.OFTTime, ogr.OFTDateTime):
                parts = value + (0, 0, 0, 0) if kind == ogr.OFTDate else (0, 0, 0) + value + (0,) \
                    if kind == ogr.OFTTime else value
                feature.SetField(field, *parts[:5], float(parts[5]), parts[6])
            else:
                feature.SetField(field, value)
        if wkt:
            feature.SetGeometry(with_z(wkt) if z else ogr.CreateGeometryFromWkt(wkt))
        layer.CreateFeature(feature)
    if name == "GPKG":  # a second layer: the source then needs its layer named
        ds.CreateLayer("other", srs, ogr.wkbPoint)
    ds = None
    return path, "parcels" if name == "GPKG" else None


def make_shapefile(folder):
    path = folder / "extra.shp"
    ds = ogr.GetDriverByName("ESRI Shapefile").CreateDataSource(str(path))
    srs = osr.SpatialReference()
    srs.ImportFromEPSG(32632)
    layer = ds.CreateLayer("extra", srs, ogr.wkbPolygon)
    layer.CreateField(ogr.FieldDefn("label", ogr.OFTString))
    feature = ogr.Feature(layer.GetLayerDefn())
    feature.SetField(0, "shp")
    feature.SetGeometry(ogr.CreateGeometryFromWkt(f"POLYGON ({SQUARE})"))
    layer.CreateFeature(feature)
    ds = None
    return path


def reading(path, layer_name=None):
    # A CSV file's geometry column is the geometry, not also a field.
    options = ["KEEP_GEOM_COLUMNS=NO"] if path.suffix == ".csv" else []
    ds = gdal.OpenEx(str(path), gdal.OF_VECTOR, open_options=options)
    layer = ds.GetLayerByName(layer_name) if layer_name else ds.GetLayer(0)
    defn = layer.GetLayerDefn()
    fields = [(d.GetName(), d.GetType(), d.GetSubType()) for d in map(defn.GetFieldDefn, range(defn.GetFieldCount()))]
    features = []
    for f in layer:
        values = {d[0][:10].lower(): (d[1:], f.GetField(i) if f.IsFieldSetAndNotNull(i) else None,
                                      f.GetFieldAsDateTime(i) if f.IsFieldSetAndNotNull(i) else None)
                  for i, d in enumerate(fields)}
        g = f.GetGeometryRef()
        features.append((values, g.GetLinearGeometry() if g is not None and not g.IsEmpty() else None))
    return features


def iso(parts, kind):
    y, mo, d, h, mi, s, zone = parts
    whole = int(s)
    text = f"{h:02d}:{mi:02d}:{whole:02d}"
    if kind == ogr.OFTDateTime:
        text = f"{y:04d}-{mo:02d}-{d:02d}T{text}"
    millis = round((s - whole) * 1000)
    text += f".{millis:03d}" if millis else ""
    if kind == ogr.OFTDateTime and zone == 100:
        text += "Z"
    elif kind == ogr.OFTDateTime and zone > 1:
        minutes = (zone - 100) * 15
        text += f"{'-' if minutes < 0 else '+'}{abs(minutes) // 60:02d}:{abs(minutes) % 60:02d}"
    return text


def expected_value(defn, value, parts):
    kind, subtype = defn
    if value is None or value == "":  # a shapefile's empty text reads as null
        return None
    if kind == ogr.OFTInteger and subtype == ogr.OFSTBoolean:
        return "T" if value else "F"
    if kind in (ogr.OFTDateTime, ogr.OFTTime):
        return iso(parts, kind)
    return value


def same_value(expected, got):
    if expected is None:  # a logical null is stored as "?", which GDAL reads as that text
        return got in (None, "", "?")
    if isinstance(expected, (int, float)) and not isinstance(expected, bool):
        return got is not None and float(got) == float(expected)
    if expected in ("T", "F"):
        return got in (expected, 1 if expected == "T" else 0)
    return got == expected


def rings(geometry, zm=False):
    """Every ring or line as (x, y, z) points ((x, y, z, m) with zm), with whether it is a polygon's outer ring."""
    out = []
    if geometry is None:
        return out
    flat = ogr.GT_Flatten(geometry.GetGeometryType())
    parts = [geometry] if flat in (ogr.wkbPolygon, ogr.wkbLineString) else \
        [geometry.GetGeometryRef(i) for i in range(geometry.GetGeometryCount())]
    for part in parts:
        if ogr.GT_Flatten(part.GetGeometryType()) == ogr.wkbPolygon:
            for r in range(part.GetGeometryCount()):
                ring = part.GetGeometryRef(r)
                out.append(([ring.GetPoint(k) for k in range(ring.GetPointCount())], r == 0))
        else:
            get = part.GetPointZM if zm else part.GetPoint
            out.append(([get(k) for k in range(part.GetPointCount())], False))
    return out


def clockwise(points):
    return sum(a[0] * b[1] - b[0] * a[1] for a, b in zip(points, points[1:])) < 0


def difference(expected, got, has_z):
    """The first difference of a record's geometry, or None."""
    want = rings(expected)
    have = rings(got)
    if len(want) != len(have):
        return f"{len(have)} rings instead of {len(want)}"
    strip = (lambda p: p) if has_z else (lambda p: p[:2])
    for (points, outer), (out_points, _) in zip(want, have):
        if outer != clockwise(points):
            points = points[::-1]  # the shapefile's orientation
        if [strip(p) for p in points] != [strip(p) for p in out_points]:
            return f"ring {points} became {out_points}"
        if len(points) > 3 and clockwise(out_points) != outer:
            return f"ring {out_points} runs the wrong way"
    return None


def run(merge, *args):
    return subprocess.run([merge, "-q", *map(str, args)], capture_output=True, text=True)


def check(merge, name, folder):
    source, layer_name = make_layer(folder, name)
    shp = make_shapefile(folder)
    argument = f"{source}:{layer_name}" if layer_name else source
    out = folder / "out.shp"
    merged = run(merge, "--match-names", "-o", out, argument, shp)
    if merged.returncode != 0:
        return f"the merge failed: {merged.stderr.strip()}"
    inputs = reading(source, layer_name) + reading(shp)
    output = reading(out)
    if len(output) != len(inputs):
        return f"{len(output)} records instead of {len(inputs)}"
    has_z = FORMATS[name][3]
    for k, ((values, geometry), (out_values, out_geometry)) in enumerate(zip(inputs, output)):
        for key, (defn, value, parts) in values.items():
            expected = expected_value(defn, value, parts)
            got = out_values[key][1] if key in out_values else "(no field)"
            if not same_value(expected, got):
                return f"record {k}, field {key}: {expected!r} became {got!r}"
        why = difference(geometry, out_geometry, has_z)
        if why:
            return f"record {k}: {why}"
    # The layer's coordinate system travels as the output's .prj.
    datasets = [ogr.Open(str(p)) for p in (source, out)]  # kept: a layer lives as long as its dataset
    systems = [ds.GetLayer(0).GetSpatialRef() for ds in datasets]
    if (systems[0] is None) != (systems[1] is None) or systems[0] and not systems[0].IsSame(
            systems[1], ["CRITERION=EQUIVALENT_EXCEPT_AXIS_ORDER_GEOGCRS"]):
        return f"the coordinate system {systems[0] and systems[0].GetName()} became {systems[1] and systems[1].GetName()}"
    if layer_name:
        # Converted into a target system as PROJ converts it.
        wgs = folder / "wgs.shp"
        if run(merge, "--match-names", "--target-crs", "EPSG:4326", "-o", wgs, argument, shp).returncode != 0:
            return "the layer cannot be converted into EPSG:4326"
        target = osr.SpatialReference()
        target.ImportFromEPSG(4326)
        target.SetAxisMappingStrategy(osr.OAMS_TRADITIONAL_GIS_ORDER)
        polygons = inputs[0][1], reading(wgs)[0][1]  # kept: a ring lives as long as its polygon
        want = osr.CoordinateTransformation(systems[0], target).TransformPoint(
            *polygons[0].GetGeometryRef(0).GetPoint(0)[:2])
        got = polygons[1].GetGeometryRef(0).GetPoint(0)
        if max(abs(want[0] - got[0]), abs(want[1] - got[1])) > 1e-9:
            return f"converted into EPSG:4326, {want[:2]} became {got[:2]}"
        missing = run(merge, "--check", f"{source}:nothing", shp)
        if missing.returncode != 1 or "parcels, other" not in missing.stderr:
            return f"a missing layer: {missing.stderr.strip()}"
        unnamed = run(merge, "--check", source, shp)
        if unnamed.returncode != 1 or "several layers" not in unnamed.stderr:
            return f"a source of several layers named without its layer: {unnamed.stderr.strip()}"
        lists = folder / "lists.geojson"
        ds = ogr.GetDriverByName("GeoJSON").CreateDataSource(str(lists))
        layer = ds.CreateLayer("lists", None, ogr.wkbPolygon)
        layer.CreateField(ogr.FieldDefn("tags", ogr.OFTStringList))
        feature = ogr.Feature(layer.GetLayerDefn())
        feature.SetFieldStringList(0, ["a", "b"])
        feature.SetGeometry(ogr.CreateGeometryFromWkt(f"POLYGON ({SQUARE})"))
        layer.CreateFeature(feature)
        ds = None
        clash = folder / "clash.geojson"
        clash.write_text('{"type": "FeatureCollection", "features": [{"type": "Feature", "properties": '
                         '{"abcdefghij1": 1, "ABCDEFGHIJ2": "' + "x" * 255 + '"}, "geometry": {"type": "Polygon", '
                         '"coordinates": [[[0, 0], [0, 1], [1, 1], [0, 0]]]}}]}')
        clashing = run(merge, "--check", "--match-names", clash, shp)
        if clashing.returncode != 1 or "abcdefghij1 and ABCDEFGHIJ2" not in clashing.stderr:
            return f"names that clash once cut: {clashing.stderr.strip()}"
        long = run(merge, "--match-names", "--skip-field", "abcdefghij1", "-o", folder / "long.shp", clash, shp)
        if long.returncode != 1 or "Record 1" not in long.stderr or "255" not in long.stderr:
            return f"a text of 255 bytes: {long.stderr.strip()}"
        # A folder stands for each layer of a source that holds several.
        (folder / "dir").mkdir()
        (folder / "dir" / "a.gpkg").write_bytes(source.read_bytes())
        listed = run(merge, "--check", "--match-names", folder / "dir")
        if listed.returncode != 1 or "a.gpkg:other" not in listed.stderr:
            return f"a folder holding a source of two layers: {listed.stderr.strip()}"
        # A pipe is never waited on.
        os.mkfifo(folder / "pipe.gpkg")
        piped = subprocess.run([merge, "--check", folder / "pipe.gpkg", shp], capture_output=True, text=True,
                               timeout=60)
        if piped.returncode != 1 or "not a regular file" not in piped.stderr:
            return f"a pipe: {piped.stderr.strip()}"
        refused = run(merge, "--check", "--match-names", lists, shp)
        if refused.returncode != 1 or "tags" not in refused.stderr:
            return f"a list field: {refused.stderr.strip()}"
        if run(merge, "--check", "--match-names", "--skip-field", "tags", lists, shp).returncode != 0:
            return "--skip-field does not leave out the list field"
    return None


# geometries, options, the output's .shp type or the words of the failure, the input records written
KINDS = [
    (["POINT (1 2)", "MULTIPOINT ((3 4),(5 6))"], [], 8, [0, 1]),
    (["POINT (1 2)", "LINESTRING (0 0,1 1)", "POLYGON ((0 0,0 1,1 1,0 0))", "POINT (3 3)"], [],
     "2 points, 1 lines, 1 polygons", []),
    (["POINT (1 2)", "LINESTRING (0 0,1 1)", "POLYGON ((0 0,0 1,1 1,0 0))", "POINT (3 3)"],
     ["--skip-bad-records"], 1, [0, 3]),
    (["LINESTRING (0 0,1 1)", "GEOMETRYCOLLECTION (POINT (1 1))"], [], "Geometry Collection", []),
    (["LINESTRING (0 0,1 1)", "GEOMETRYCOLLECTION (POINT (1 1))"], ["--skip-bad-records"], 3, [0]),
    (["POLYGON EMPTY", None, "POLYGON ((0 0,0 1,1 1,0 0))"], [], 5, [0, 1, 2]),
    (["LINESTRING M (0 0 5,1 1 6)", "MULTILINESTRING M ((2 2 7,3 3 8),(4 4 9,5 5 10))"], [], 23, [0, 1]),
]


def check_kinds(merge, folder):
    for row, (wkts, options, expected, written) in enumerate(KINDS):
        path = folder / f"kinds{row}.gpkg"
        ds = ogr.GetDriverByName("GPKG").CreateDataSource(str(path))
        layer = ds.CreateLayer("kinds", None, ogr.wkbUnknown)
        layer.CreateField(ogr.FieldDefn("real", ogr.OFTReal))
        for k, wkt in enumerate(wkts):
            feature = ogr.Feature(layer.GetLayerDefn())
            feature.SetField(0, [1.5e30, -0.25, 7.0, 1e-7][k % 4])  # the exponent form where fixed is too wide
            if wkt:
                feature.SetGeometry(ogr.CreateGeometryFromWkt(wkt))
            layer.CreateFeature(feature)
        ds = None
        out = folder / f"out{row}.shp"
        merged = run(merge, *options, "-o", out, path, path)
        if isinstance(expected, str):
            if merged.returncode != 1 or expected not in merged.stderr:
                return f"row {row}: exit {merged.returncode}, {merged.stderr.strip()}"
            continue
        if merged.returncode != 0:
            return f"row {row}: {merged.stderr.strip()}"
        shp_type = int.from_bytes(out.read_bytes()[32:36], "little")
        output = reading(out)
        inputs = reading(path)
        kept = [inputs[k] for k in written] * 2
        if shp_type != expected or len(output) != len(kept):
            return f"row {row}: type {shp_type}, {len(output)} records"
        for k, ((values, geometry), (out_values, out_geometry)) in enumerate(zip(kept, output)):
            if values["real"][1] != out_values["real"][1]:
                return f"row {row}, record {k}: {values['real'][1]} became {out_values['real'][1]}"
            want = [(p[:2], p[3:]) for pts, _ in rings(geometry, True) for p in pts] if geometry else []
            have = [(p[:2], p[3:]) for pts, _ in rings(out_geometry, True) for p in pts] if out_geometry else []
            if geometry and ogr.GT_Flatten(geometry.GetGeometryType()) in (ogr.wkbPoint, ogr.wkbMultiPoint):
                want, have = ([g.GetPoint_2D(0)] if g.GetGeometryCount() == 0 else
                              [g.GetGeometryRef(i).GetPoint_2D(0) for i in range(g.GetGeometryCount())]
                              for g in (geometry, out_geometry))
            if want != have:
                return f"row {row}, record {k}: {want} became {have}"
    return None


def main():
    merge, name = sys.argv[1], sys.argv[2]
    with tempfile.TemporaryDirectory(prefix="fennick-vector-") as tmp:
        why = check_kinds(merge, Path(tmp)) if name == "KINDS" else check(merge, name, Path(tmp))
    print(f"{'FAIL' if why else 'PASS'} {name}" + (f": {why}" if why else ""))
    return 1 if why else 0


if __name__ == "__main__":
    sys.exit(main())
