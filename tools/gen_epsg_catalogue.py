#!/usr/bin/env python3
"""Writes the built-in EPSG catalogue of the coordinate system readers as compiled C++ tables.

Reads PROJ's database (proj.db) with sqlite3 and writes one source file per table into the output folder:
geographic systems, projected systems, units, ellipsoids, prime meridians and the ESRI WKT texts of the codes
the EPSG tables do not hold. The ESRI texts are produced by PROJ itself (libproj through ctypes, WKT1_ESRI).

Usage: python3 tools/gen_epsg_catalogue.py [/usr/share/proj/proj.db] [src/coordsys]
"""

import ctypes
import ctypes.util
import decimal
import math
import os
import sqlite3
import sys

# Projection methods the projected-system reader understands.
METHODS = (9801, 9817, 9802, 9803, 9804, 9805, 9806, 9807, 9808, 9809, 9810, 9811, 9812, 9813, 9814, 9815,
           9816, 9818, 9819, 9820, 9821, 9822, 9823, 9829, 9834)
SHIFT_METHODS = (9603, 9606, 9607)
WGS84 = 4326
ESRI_FIRST, ESRI_LAST = 3785, 104305


def c_string(text):
    """A C string literal; bytes outside printable ASCII as three-digit octal escapes."""
    out = ['"']
    for b in text.encode('utf-8'):
        ch = chr(b)
        if ch in '"\\':
            out.append('\\' + ch)
        elif 32 <= b < 127 and ch != '?':
            out.append(ch)
        else:
            out.append('\\%03o' % b)
    out.append('"')
    return ''.join(out)


def c_double(value):
    if value is None:
        return '0.0'
    text = repr(float(value))
    return text if ('.' in text or 'e' in text or 'n' in text) else text + '.0'


def value_text(value):
    """A parameter value as the text the angle reader parses (shortest round-trip form)."""
    if value is None:
        return '""'
    v = float(value)
    text = repr(v)
    if 'e' in text:
        # Positional digits: sexagesimal values are read digit by digit.
        text = format(decimal.Decimal(text), 'f')
    if text.endswith('.0'):
        text = text[:-2]
    return '"' + text + '"'


class Catalogue:
    def __init__(self, db_path):
        self.db = sqlite3.connect(db_path)
        self.db.row_factory = sqlite3.Row
        meta = dict(self.db.execute('SELECT key, value FROM metadata').fetchall())
        self.version = meta.get('EPSG.VERSION', '?')
        self.date = meta.get('EPSG.DATE', '?')
        self.unit_factor = {}
        for r in self.db.execute("SELECT code, conv_factor FROM unit_of_measure WHERE auth_name='EPSG'"):
            self.unit_factor[int(r['code'])] = r['conv_factor']

    def q(self, sql, *args):
        return self.db.execute(sql, args).fetchall()

    def first_axis_unit(self, cs_code):
        rows = self.q("SELECT uom_code FROM axis WHERE auth_name='EPSG' AND coordinate_system_auth_name='EPSG' "
                      "AND coordinate_system_code=? ORDER BY coordinate_system_order", cs_code)
        return int(rows[0][0]) if rows and rows[0][0] is not None else 0

    def extent_area(self, table, code):
        best = 0.0
        for r in self.q("SELECT e.south_lat, e.north_lat, e.west_lon, e.east_lon FROM usage u JOIN extent e "
                        "ON e.auth_name=u.extent_auth_name AND e.code=u.extent_code "
                        "WHERE u.object_table_name=? AND u.object_auth_name='EPSG' AND u.object_code=?",
                        table, code):
            if None in tuple(r):
                continue
            width = r[3] - r[2]
            if width < 0:
                width += 360.0
            best = max(best, width * (r[1] - r[0]))
        return best

    def helmert_to_wgs84(self, code):
        """The shift of one system to WGS 84: the non-deprecated Helmert with the widest area of use."""
        rows = self.q("SELECT * FROM helmert_transformation_table WHERE auth_name='EPSG' AND deprecated=0 "
                      "AND source_crs_auth_name='EPSG' AND source_crs_code=? AND target_crs_auth_name='EPSG' "
                      "AND target_crs_code=? AND method_auth_name='EPSG' AND method_code IN (9603, 9606, 9607)",
                      code, WGS84)
        if not rows:
            return None
        rows.sort(key=lambda r: (-self.extent_area('helmert_transformation', r['code']),
                                 r['accuracy'] if r['accuracy'] is not None else 1e9, int(r['code'])))
        r = rows[0]
        method = int(r['method_code'])
        t_factor = self.unit_factor.get(int(r['translation_uom_code'])) or 1.0
        values = [r['tx'] * t_factor, r['ty'] * t_factor, r['tz'] * t_factor, 0.0, 0.0, 0.0, 0.0]
        if method != 9603:
            # Rotations in arc-seconds and the scale in parts per million, as the shift methods state them.
            r_factor = self.unit_factor.get(int(r['rotation_uom_code'])) / self.unit_factor[9104]
            s_factor = self.unit_factor.get(int(r['scale_difference_uom_code'])) / self.unit_factor[9202]
            values[3:6] = [(r['rx'] or 0.0) * r_factor, (r['ry'] or 0.0) * r_factor, (r['rz'] or 0.0) * r_factor]
            values[6] = (r['scale_difference'] or 0.0) * s_factor
        return method, values

    def geographic_rows(self):
        rows = []
        for g in self.q("SELECT g.code, g.name, g.coordinate_system_code, d.code AS datum, d.name AS datum_name, "
                        "d.ellipsoid_code, d.prime_meridian_code FROM geodetic_crs g JOIN geodetic_datum d "
                        "ON d.auth_name=g.datum_auth_name AND d.code=g.datum_code WHERE g.auth_name='EPSG' "
                        "AND g.type='geographic 2D' AND g.deprecated=0 AND d.auth_name='EPSG' "
                        "ORDER BY CAST(g.code AS INTEGER)"):
            code = int(g['code'])
            shift = self.helmert_to_wgs84(code)
            if shift is None:
                # A longitude rotation to a system that has a shift of its own lends that shift.
                for o in self.q("SELECT target_crs_code FROM other_transformation WHERE auth_name='EPSG' "
                                "AND deprecated=0 AND method_auth_name='EPSG' AND method_code=9601 "
                                "AND source_crs_auth_name='EPSG' AND source_crs_code=? "
                                "AND target_crs_auth_name='EPSG' ORDER BY CAST(code AS INTEGER)", code):
                    shift = self.helmert_to_wgs84(int(o[0]))
                    if shift is not None:
                        break
            method, values = shift if shift else (0, [0.0] * 7)
            rows.append(dict(code=code, name=g['name'], datum=int(g['datum']), datum_name=g['datum_name'],
                             unit=self.first_axis_unit(g['coordinate_system_code']),
                             ellipsoid=int(g['ellipsoid_code']), pm=int(g['prime_meridian_code']),
                             method=method, shift=values))
        return rows

    def projected_rows(self, geographic_codes):
        rows = []
        for p in self.q("SELECT p.code AS pcode, p.name AS pname, p.coordinate_system_code, p.geodetic_crs_code, t.code AS tcode, t.* "
                        "FROM projected_crs p JOIN conversion_table t ON t.auth_name=p.conversion_auth_name "
                        "AND t.code=p.conversion_code WHERE p.auth_name='EPSG' AND p.deprecated=0 "
                        "AND p.geodetic_crs_auth_name='EPSG' AND t.method_auth_name='EPSG' "
                        "ORDER BY CAST(p.code AS INTEGER)"):
            method = int(p['method_code'])
            if method not in METHODS or int(p['geodetic_crs_code']) not in geographic_codes:
                continue
            unit = self.first_axis_unit(p['coordinate_system_code'])
            if unit == 0:
                continue
            params = []
            for i in range(1, 8):
                pc = p['param%d_code' % i]
                if pc is None:
                    params.append((0, None, 0))
                else:
                    uom = p['param%d_uom_code' % i]
                    params.append((int(pc), p['param%d_value' % i], int(uom) if uom is not None else 0))
            rows.append(dict(code=int(p['pcode']), name=p['pname'], unit=unit, geog=int(p['geodetic_crs_code']),
                             operation=int(p['tcode']), method=method, params=params))
        return rows

    def unit_rows(self):
        base = {'length': 9001, 'angle': 9101, 'scale': 9201}
        rows = []
        for u in self.q("SELECT code, name, type, conv_factor FROM unit_of_measure WHERE auth_name='EPSG' "
                        "AND type IN ('length', 'angle', 'scale') ORDER BY CAST(code AS INTEGER)"):
            factor = u['conv_factor']
            rows.append(dict(code=int(u['code']), name=u['name'], base=base[u['type']],
                             num=factor if factor is not None else 0.0, den=1.0 if factor is not None else 0.0))
        return rows

    def ellipsoid_rows(self):
        return [dict(code=int(e['code']), name=e['name'], a=e['semi_major_axis'], unit=int(e['uom_code']),
                     rf=e['inv_flattening'] or 0.0, b=e['semi_minor_axis'] or 0.0)
                for e in self.q("SELECT * FROM ellipsoid WHERE auth_name='EPSG' ORDER BY CAST(code AS INTEGER)")]

    def prime_meridian_rows(self):
        return [dict(code=int(m['code']), name=m['name'], lon=m['longitude'], unit=int(m['uom_code']))
                for m in self.q("SELECT * FROM prime_meridian WHERE auth_name='EPSG' "
                                "ORDER BY CAST(code AS INTEGER)")]

    def esri_codes(self, taken):
        codes = set()
        for table in ('projected_crs', 'geodetic_crs'):
            extra = " AND type='geographic 2D'" if table == 'geodetic_crs' else ''
            for (code,) in self.q("SELECT code FROM %s WHERE auth_name='ESRI'%s" % (table, extra)):
                try:
                    n = int(code)
                except ValueError:
                    continue
                if ESRI_FIRST <= n <= ESRI_LAST and n not in taken:
                    codes.add(n)
        return sorted(codes)


def esri_wkt_texts(db_path, codes):
    lib = ctypes.CDLL(ctypes.util.find_library('proj') or 'libproj.so.25')
    lib.proj_context_create.restype = ctypes.c_void_p
    lib.proj_context_set_database_path.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_void_p,
                                                   ctypes.c_void_p]
    lib.proj_create_from_database.restype = ctypes.c_void_p
    lib.proj_create_from_database.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_char_p, ctypes.c_int,
                                              ctypes.c_int, ctypes.c_void_p]
    lib.proj_as_wkt.restype = ctypes.c_char_p
    lib.proj_as_wkt.argtypes = [ctypes.c_void_p, ctypes.c_void_p, ctypes.c_int, ctypes.c_void_p]
    lib.proj_destroy.argtypes = [ctypes.c_void_p]
    lib.proj_context_destroy.argtypes = [ctypes.c_void_p]
    ctx = lib.proj_context_create()
    lib.proj_context_set_database_path(ctx, db_path.encode(), None, None)
    options = (ctypes.c_char_p * 2)(b'MULTILINE=NO', None)
    PJ_CATEGORY_CRS, PJ_WKT1_ESRI = 3, 5
    texts = []
    for code in codes:
        pj = lib.proj_create_from_database(ctx, b'ESRI', str(code).encode(), PJ_CATEGORY_CRS, 0, None)
        if not pj:
            continue
        wkt = lib.proj_as_wkt(ctx, pj, PJ_WKT1_ESRI, options)
        if wkt and (wkt.startswith(b'PROJCS[') or wkt.startswith(b'GEOGCS[')):
            texts.append((code, wkt.decode('utf-8')))
        lib.proj_destroy(pj)
    lib.proj_context_destroy(ctx)
    return texts


def write_table(out_dir, file_name, cat, body_lines, comment):
    path = os.path.join(out_dir, file_name)
    with open(path, 'w', encoding='ascii', newline='\n') as f:
        f.write('// %s\n' % comment)
        f.write('// Generated from PROJ\'s proj.db, EPSG registry %s (%s); do not edit.\n' % (cat.version, cat.date))
        f.write('// Regenerate with: python3 tools/gen_epsg_catalogue.py /usr/share/proj/proj.db src/coordsys\n')
        f.write('// clang-format off\n')
        f.write('#include "coordsys/EpsgCatalogue.h"\n\nnamespace fennick {\n\n')
        f.writelines(line + '\n' for line in body_lines)
        f.write('\n} // namespace fennick\n')


def main():
    db_path = sys.argv[1] if len(sys.argv) > 1 else '/usr/share/proj/proj.db'
    out_dir = sys.argv[2] if len(sys.argv) > 2 else os.path.join(os.path.dirname(__file__), '..', 'src',
                                                                  'coordsys')
    cat = Catalogue(db_path)

    geographic = cat.geographic_rows()
    geographic_codes = {r['code'] for r in geographic}
    lines = ['const SEpsgGeographicRow kEpsgGeographicRows[] = {']
    for r in geographic:
        lines.append('{%d, %s, %d, %s, 0, %d, %d, %d, %d, {%s}},' % (
            r['code'], c_string(r['name']), r['datum'], c_string(r['datum_name']), r['unit'], r['ellipsoid'],
            r['pm'], r['method'], ', '.join(c_double(v) for v in r['shift'])))
    lines += ['};', 'const size_t kEpsgGeographicRowCount = sizeof(kEpsgGeographicRows) / sizeof(kEpsgGeographicRows[0]);']
    write_table(out_dir, 'EpsgGeographicTable.cpp', cat, lines, 'EPSG geographic 2-D systems and their shift to WGS 84.')

    projected = cat.projected_rows(geographic_codes)
    lines = ['const SEpsgProjectedRow kEpsgProjectedRows[] = {']
    for r in projected:
        params = ', '.join('{%d, %s, %d}' % (pc, value_text(v), u) for pc, v, u in r['params'])
        lines.append('{%d, %s, %d, %d, %d, %d, {%s}},' % (r['code'], c_string(r['name']), r['unit'], r['geog'],
                                                           r['operation'], r['method'], params))
    lines += ['};', 'const size_t kEpsgProjectedRowCount = sizeof(kEpsgProjectedRows) / sizeof(kEpsgProjectedRows[0]);']
    write_table(out_dir, 'EpsgProjectedTable.cpp', cat, lines, 'EPSG projected systems whose method the reader knows.')

    lines = ['const SEpsgUnitRow kEpsgUnitRows[] = {']
    for r in cat.unit_rows():
        lines.append('{%d, %s, %d, %s, %s},' % (r['code'], c_string(r['name']), r['base'], c_double(r['num']),
                                                c_double(r['den'])))
    lines += ['};', 'const size_t kEpsgUnitRowCount = sizeof(kEpsgUnitRows) / sizeof(kEpsgUnitRows[0]);']
    write_table(out_dir, 'EpsgUnitTable.cpp', cat, lines, 'EPSG units of length, angle and scale.')

    lines = ['const SEpsgEllipsoidRow kEpsgEllipsoidRows[] = {']
    for r in cat.ellipsoid_rows():
        lines.append('{%d, %s, %s, %d, %s, %s},' % (r['code'], c_string(r['name']), c_double(r['a']), r['unit'],
                                                    c_double(r['rf']), c_double(r['b'])))
    lines += ['};', 'const size_t kEpsgEllipsoidRowCount = sizeof(kEpsgEllipsoidRows) / sizeof(kEpsgEllipsoidRows[0]);']
    write_table(out_dir, 'EpsgEllipsoidTable.cpp', cat, lines, 'EPSG ellipsoids.')

    lines = ['const SEpsgPrimeMeridianRow kEpsgPrimeMeridianRows[] = {']
    for r in cat.prime_meridian_rows():
        lines.append('{%d, %s, %s, %d},' % (r['code'], c_string(r['name']), value_text(r['lon']), r['unit']))
    lines += ['};', 'const size_t kEpsgPrimeMeridianRowCount = '
              'sizeof(kEpsgPrimeMeridianRows) / sizeof(kEpsgPrimeMeridianRows[0]);']
    write_table(out_dir, 'EpsgPrimeMeridianTable.cpp', cat, lines, 'EPSG prime meridians.')

    taken = geographic_codes | {r['code'] for r in projected}
    texts = esri_wkt_texts(db_path, cat.esri_codes(taken))
    lines = ['const SEsriWktRow kEsriWktRows[] = {']
    for code, wkt in texts:
        lines.append('{%d, %s},' % (code, c_string(wkt)))
    lines += ['};', 'const size_t kEsriWktRowCount = sizeof(kEsriWktRows) / sizeof(kEsriWktRows[0]);']
    write_table(out_dir, 'EsriWktTable.cpp', cat, lines,
                'ESRI WKT texts (as PROJ writes WKT1_ESRI) for the codes the EPSG tables do not hold.')

    print('EPSG %s: %d geographic, %d projected, %d ESRI texts' % (cat.version, len(geographic), len(projected),
                                                                    len(texts)))


if __name__ == '__main__':
    main()
