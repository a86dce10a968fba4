#!/usr/bin/env python3
"""Prints what a package holds as JSON: schema, page size, encoding, config
rows and files rows, with the MD5 of each row's restored bytes."""
import hashlib, json, sqlite3, sys, zlib

db = sqlite3.connect("file:%s?mode=ro" % sys.argv[1], uri=True)
out = {
    "schema": [r[0] for r in db.execute("select sql from sqlite_master order by name")],
    "page_size": db.execute("pragma page_size").fetchone()[0],
    "encoding": db.execute("pragma encoding").fetchone()[0],
    "config": [list(r) for r in db.execute("select ID, strValue, intValue from config order by rowid")],
    "sequence": [list(r) for r in db.execute("select name, seq from sqlite_sequence")],
    "rows": [],
}
for r in db.execute("select id, name, ver, path, pack, action, mode, length, len, time, md5, data from files order by id"):
    data = r[11]
    content = zlib.decompress(data) if r[6] == 1 else data
    out["rows"].append({
        "id": r[0], "name": r[1], "ver": r[2], "path": r[3], "pack": r[4], "action": r[5],
        "mode": r[6], "length": r[7], "len": r[8], "time": r[9], "md5": r[10],
        "data_size": len(data), "content_md5": hashlib.md5(content).hexdigest().upper(),
        "starts_with_bom": content.startswith(b"\xef\xbb\xbf"),
        "zlib_header": data[:2].hex() if r[6] == 1 else "",
    })
print(json.dumps(out))
