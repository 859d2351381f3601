#!/usr/bin/env python3
"""A plain Python scraper doing the per-page work of the program, for comparison.

For every page: decode the UTF-8 bytes, cut the page-config block between its markers, json.loads it,
map every listing to a row and store the rows with sqlite3 executemany and a commit into a database file
(write-ahead log, full sync, as the program does; without encryption, which Python's sqlite3 lacks).
With --search-index the file also keeps what the program's listings library keeps up to date on every write:
a collection time per row, a trigram full-text index over title, seller and place (kept by a trigger) and four
sort indexes. Prints the median time per page over the repetitions.
"""
import argparse
import json
import os
import sqlite3
import statistics
import tempfile
import time

START = "g_page_config = "
END = "g_srp_loadCss();"

SCHEMA = """CREATE TABLE IF NOT EXISTS goodslist (
  id INTEGER PRIMARY KEY AUTOINCREMENT, keyname varchar(100), goodstypeno integer, title varchar(100),
  pic_url varchar(255), detail_url varchar(255), view_price float, view_fee float, reserve_price float,
  item_loc varchar(45), user_id varchar(20), nick varchar(45), shopLink varchar(255), comment_count integer,
  nid varchar(20), pid varchar(20))"""

SEARCH_INDEX = [
    "ALTER TABLE goodslist ADD COLUMN collect_time varchar(32) DEFAULT NULL",
    "CREATE VIRTUAL TABLE goodslist_fts USING fts5(title, nick, item_loc, content='goodslist', "
    "content_rowid='id', tokenize='trigram', columnsize=0)",
    "CREATE TRIGGER goodslist_fts_insert AFTER INSERT ON goodslist BEGIN "
    "INSERT INTO goodslist_fts(rowid, title, nick, item_loc) VALUES (new.id, new.title, new.nick, new.item_loc); END",
    "CREATE INDEX goodslist_keyname ON goodslist(keyname)",
    "CREATE INDEX goodslist_view_price ON goodslist(view_price)",
    "CREATE INDEX goodslist_comment_count ON goodslist(comment_count)",
    "CREATE INDEX goodslist_collect_time ON goodslist(collect_time)",
]

INSERT_TIMED = """INSERT INTO goodslist (keyname, title, pic_url, detail_url, view_price, view_fee, reserve_price,
  item_loc, user_id, nick, shopLink, comment_count, collect_time) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"""

INSERT = """INSERT INTO goodslist (keyname, title, pic_url, detail_url, view_price, view_fee, reserve_price,
  item_loc, user_id, nick, shopLink, comment_count) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"""


def price(listing, key):
    try:
        return float(listing[key])
    except (KeyError, TypeError, ValueError):
        return None


def integer(listing, key):
    try:
        return int(listing[key])
    except (KeyError, TypeError, ValueError):
        return 0


def text(listing, key):
    value = listing.get(key)
    return value if isinstance(value, str) else ""


def rows_of(page_bytes, keyword):
    page = page_bytes.decode("utf-8")
    start = page.index(START) + len(START)
    end = page.index(END)
    block = page[start:end]
    block = block[: block.rindex("}") + 1]
    config = json.loads(block)
    listings = config["mods"]["itemlist"]["data"]["auctions"]
    return [
        (keyword, text(l, "raw_title"), text(l, "pic_url"), text(l, "detail_url"), price(l, "view_price"),
         price(l, "view_fee"), price(l, "reserve_price"), text(l, "item_loc"), text(l, "user_id"),
         text(l, "nick"), text(l, "shopLink"), integer(l, "comment_count"))
        for l in listings
    ]


def store_page(db, page_bytes, keyword, timed):
    rows = rows_of(page_bytes, keyword)
    if timed:
        now = time.strftime("%Y-%m-%dT%H:%M:%S%z")
        db.executemany(INSERT_TIMED, [row + (now,) for row in rows])
    else:
        db.executemany(INSERT, rows)
    db.commit()


def measure(db, page_bytes, repetitions, min_seconds, timed):
    """Median over the repetitions of the mean time per page, each repetition running for min_seconds."""
    results = []
    for _ in range(repetitions):
        count = 0
        started = time.perf_counter()
        while True:
            store_page(db, page_bytes, "办公桌", timed)
            count += 1
            elapsed = time.perf_counter() - started
            if elapsed >= min_seconds:
                break
        results.append(elapsed / count)
    return statistics.median(results)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("pages", nargs="+")
    parser.add_argument("--repetitions", type=int, default=9)
    parser.add_argument("--min-seconds", type=float, default=0.5)
    parser.add_argument("--work", default=None)
    parser.add_argument("--search-index", action="store_true")
    args = parser.parse_args()
    with tempfile.TemporaryDirectory(dir=args.work) as folder:
        db = sqlite3.connect(os.path.join(folder, "scraper.db"))
        db.execute("PRAGMA journal_mode = WAL")
        db.execute("PRAGMA synchronous = FULL")
        db.execute(SCHEMA)
        for statement in SEARCH_INDEX if args.search_index else []:
            db.execute(statement)
        db.commit()
        index = " into the search index" if args.search_index else ""
        print(f"Python scraper (decode, cut, json.loads, map, executemany + commit{index})")
        for path in args.pages:
            with open(path, "rb") as page:
                page_bytes = page.read()
            median = measure(db, page_bytes, args.repetitions, args.min_seconds, args.search_index)
            listings = len(rows_of(page_bytes, ""))
            print(f"python_scraper/{os.path.basename(path):<16} median {median * 1e3:8.3f} ms per page "
                  f"({len(page_bytes) / 1024:.0f} KiB, {listings} listings)")
        db.close()


if __name__ == "__main__":
    main()
