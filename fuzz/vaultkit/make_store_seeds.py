#!/usr/bin/env python3
"""Writes the seed stores of store_fuzz.cpp into corpus_store/: small files in the layout the
object store keeps inside its SQLite file (small pages, so that the seeds stay small)."""
import os
import sqlite3
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "corpus_store")

SCHEMA = """
CREATE TABLE pyx_class(name TEXT PRIMARY KEY);
CREATE TABLE pyx_type(type INTEGER PRIMARY KEY, name TEXT NOT NULL);
CREATE TABLE pyx_attr(type INTEGER, attr INTEGER, kind INTEGER, PRIMARY KEY(type, attr)) WITHOUT ROWID;
CREATE TABLE pyx_query(name TEXT PRIMARY KEY, type INTEGER, form BLOB);
CREATE TABLE pyx_idlist(name TEXT PRIMARY KEY, type INTEGER, ids BLOB);
INSERT INTO pyx_class VALUES ('CPyxIDList'), ('CPyxQuery');
"""


def store(name, objects, with_query):
    path = os.path.join(OUT, name)
    if os.path.exists(path):
        os.remove(path)
    db = sqlite3.connect(path)
    db.execute("PRAGMA page_size = 512")
    db.executescript(SCHEMA)
    db.execute("INSERT INTO pyx_type VALUES (7, 'Book')")
    db.executemany("INSERT INTO pyx_attr VALUES (7, ?, ?)", [(512, 0), (513, 1)])
    db.execute("CREATE TABLE o7(oid INTEGER PRIMARY KEY, a512, a513 DEFAULT 0)")
    db.execute("CREATE INDEX o7_a513 ON o7(a513)")
    db.executemany("INSERT INTO o7(a512, a513) VALUES (?, ?)", [("book %d" % i, i % 5) for i in range(objects)])
    if with_query:
        q = struct.pack("<qqq", 7, 513, 1) + b"L" + struct.pack("<qqq", 513, 3, 2)
        db.execute("INSERT INTO pyx_query VALUES ('q', 7, ?)", (q,))
        ids = struct.pack("<qq", 7, 2) + struct.pack("<qq", 1, 2)
        db.execute("INSERT INTO pyx_idlist VALUES ('l', 7, ?)", (ids,))
    db.commit()
    db.close()


os.makedirs(OUT, exist_ok=True)
store("empty-type", 0, False)
store("books", 12, True)
