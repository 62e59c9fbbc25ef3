#!/usr/bin/python3
"""Generates Fennick's demo layers: three polygon shapefiles of neighbouring districts (UTF-8 names with accents,
a .prj in UTM zone 32N) and a MapInfo TAB table with the same columns.

Usage: make_samples.py OUTPUT_FOLDER
"""
import math
import os
import sys

from osgeo import gdal, ogr, osr

gdal.UseExceptions()

FIELDS = [("NAME", ogr.OFTString, 40, 0), ("POP", ogr.OFTInteger, 11, 0), ("AREA_KM2", ogr.OFTReal, 16, 6)]

LAYERS = {
    "north": ["Zürich-Nord", "Höngg", "Oerlikon", "Schwamendingen"],
    "centre": ["Altstadt", "Enge", "Wiedikon", "Außersihl"],
    "south": ["Wollishofen", "Leimbach", "Witikon", "Hirslanden", "Riesbach"],
    "east": ["Montréal-Est", "Saint-Léonard", "Anjou"],
}


def district(cx, cy, radius, sides, hole):
    """A regular polygon around (cx, cy); every second district gets a lake (a hole)."""
    poly = ogr.Geometry(ogr.wkbPolygon)
    ring = ogr.Geometry(ogr.wkbLinearRing)
    for k in range(sides + 1):
        a = -2 * math.pi * k / sides  # clockwise outer ring, as shapefiles want
        ring.AddPoint_2D(cx + radius * math.cos(a), cy + radius * math.sin(a))
    poly.AddGeometry(ring)
    if hole:
        inner = ogr.Geometry(ogr.wkbLinearRing)
        for k in range(5):
            a = 2 * math.pi * k / 4
            inner.AddPoint_2D(cx + radius * 0.3 * math.cos(a), cy + radius * 0.3 * math.sin(a))
        poly.AddGeometry(inner)
    return poly


def write_layer(folder, name, names, row, driver_name, ext, srs):
    driver = ogr.GetDriverByName(driver_name)
    path = os.path.join(folder, name + ext)
    if os.path.exists(path):
        driver.DeleteDataSource(path)
    ds = driver.CreateDataSource(path)
    options = ["ENCODING=UTF-8"] if driver_name == "ESRI Shapefile" else ["ENCODING=CP1252"]
    layer = ds.CreateLayer(name, srs, ogr.wkbPolygon, options=options)
    for fname, ftype, width, precision in FIELDS:
        fd = ogr.FieldDefn(fname, ftype)
        if driver_name == "ESRI Shapefile" or ftype == ogr.OFTString:
            fd.SetWidth(width)
            fd.SetPrecision(precision)
        layer.CreateField(fd)
    for i, district_name in enumerate(names):
        feature = ogr.Feature(layer.GetLayerDefn())
        feature.SetField("NAME", district_name)
        feature.SetField("POP", 12000 + 3517 * (i + 1) * (row + 1))
        feature.SetField("AREA_KM2", round(3.25 + 1.5 * i + 0.125 * row, 6))
        cx = 464000 + 3000 * i
        cy = 5247000 + 3000 * row
        feature.SetGeometry(district(cx, cy, 1400, 6 + i, hole=(i % 2 == 1)))
        layer.CreateFeature(feature)
    ds = None
    return path


def main():
    if len(sys.argv) != 2:
        print(__doc__.strip(), file=sys.stderr)
        return 2
    folder = sys.argv[1]
    os.makedirs(folder, exist_ok=True)
    srs = osr.SpatialReference()
    srs.ImportFromEPSG(32632)
    for row, (name, names) in enumerate(LAYERS.items()):
        if name == "east":
            write_layer(folder, name, names, row, "MapInfo File", ".tab", srs)
        else:
            write_layer(folder, name, names, row, "ESRI Shapefile", ".shp", srs)
    return 0


if __name__ == "__main__":
    sys.exit(main())
