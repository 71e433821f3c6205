#!/usr/bin/env python3
"""Writes data/komitenti.sqlite: the sample partner table of the demo and the default
database of the customer e-mail search.

The output depends only on this script (fixed seed), so running it again gives the same
rows. The partner names are made up from common Croatian surnames, trades and towns; every
address is in the reserved ".example" domain, so the demo can never mail a real firm.

The first rows (FIXED) are the ones the tests rely on: keep them when changing the script.

    python3 data/make_komitenti.py [output-path]
"""
import os
import random
import sqlite3
import sys
import tempfile
import unicodedata

FIXED = [
    # name, town, address
    ("Čistoća Zagreb d.o.o.", "Zagreb", "uprava@cistoca-zagreb.example"),
    ("Cvjećarnica Ruža, vl. Ana Cvitković", "Čakovec", "ruza.cvjecarnica@cvitkovic.example"),
    ("Ćosić i sinovi d.o.o.", "Đakovo", "ured@cosic-sinovi.example"),
    ("Đurđevac promet d.d.", "Đurđevac", "nabava@djurdjevac-promet.example"),
    ("Žitar d.d.", "Donji Miholjac", "prodaja@zitar.example"),
    ("Šumarija Gospić", "Gospić", "sumarija.gospic@hrsume.example"),
    ("Konzum točka d.d.", "Zagreb", "nabava@konzum-tocka.example"),
    ("Konzum točka d.d.", "Zagreb", "nabava@konzum-tocka.example"),  # the same pair twice
    ("Konzum točka d.d.", "Zagreb", "racunovodstvo@konzum-tocka.example"),
    ("Caffe bar O'Hara, vl. Ivan Perić", "Rijeka", "ohara@peric-ugostiteljstvo.example"),
    ("D'Angelo trgovina j.d.o.o.", "Pula", "info@dangelo.example"),
    ("Bezadresni obrt Horvat", "Sisak", None),
    ("Bezadresni obrt Kovač", "Sisak", ""),
    ("Bezadresni obrt Babić", "Sisak", "   "),
    ("Stolarija Lovrić", "Vinkovci", "stolarija@lovric.example"),
    ("Autoservis Zagorje d.o.o.", "Krapina", "servis@autoservis-zagorje.example"),
]

SURNAMES = [
    "Horvat", "Kovačević", "Babić", "Marić", "Jurić", "Novak", "Kovačić", "Knežević",
    "Vuković", "Marković", "Petrović", "Matić", "Tomić", "Pavlović", "Božić", "Šimić",
    "Blažević", "Grgić", "Pavić", "Radić", "Perić", "Kralj", "Vidović", "Šarić", "Đurić",
    "Živković", "Čačić", "Ćorić", "Žagar", "Mikulić", "Barišić", "Lončar", "Filipović",
    "Bošnjak", "Rukavina", "Jukić", "Galić", "Mandić", "Bešlić", "Crnković", "Klarić",
    "Vrdoljak", "Šimunović", "Ljubičić", "Njavro", "Džaja", "Brkić", "Pranjić", "Kolar",
]
FIRST_NAMES = [
    "Ivan", "Marko", "Josip", "Ana", "Marija", "Luka", "Petra", "Tomislav", "Ivana",
    "Stjepan", "Željko", "Dražen", "Mirjana", "Snježana", "Krešimir", "Đuro", "Nikola",
    "Zrinka", "Vesna", "Branimir",
]
TRADES = [
    ("Drvoprerada", "drvo"), ("Građevinarstvo", "gradnja"), ("Autoservis", "autoservis"),
    ("Trgovina", "trgovina"), ("Pekarnica", "pekara"), ("Ljekarna", "ljekarna"),
    ("Vinarija", "vino"), ("Stolarija", "stolarija"), ("Elektroinstalacije", "elektro"),
    ("Knjigovodstveni servis", "knjigovodstvo"), ("Prijevoz", "prijevoz"),
    ("Cvjećarnica", "cvijece"), ("Frizerski salon", "frizer"), ("Bravarija", "bravarija"),
    ("Računalni servis", "racunala"), ("Uljara", "uljara"), ("Mesnica", "mesnica"),
    ("Ugostiteljski obrt", "ugostitelj"), ("Tiskara", "tisak"), ("Keramičar", "keramika"),
    ("Vodoinstalater", "vodo"), ("Poljoprivredna zadruga", "zadruga"),
    ("Željezarija", "zeljezarija"), ("Klesarstvo", "klesar"), ("Turistička agencija", "turizam"),
]
FORMS = ["d.o.o.", "d.o.o.", "d.o.o.", "j.d.o.o.", "d.d.", "obrt"]
TOWNS = [
    "Zagreb", "Split", "Rijeka", "Osijek", "Zadar", "Varaždin", "Čakovec", "Šibenik",
    "Požega", "Đakovo", "Križevci", "Karlovac", "Slavonski Brod", "Pula", "Dubrovnik",
    "Vukovar", "Bjelovar", "Koprivnica", "Sisak", "Vinkovci", "Krapina", "Gospić", "Knin",
    "Makarska", "Samobor", "Velika Gorica", "Virovitica", "Našice", "Žminj", "Ždrelac",
]
LOCAL_PARTS = ["info", "ured", "nabava", "prodaja", "racunovodstvo", "uprava", "servis"]
COUNT = 340


def ascii_slug(text):
    text = text.replace("đ", "dj").replace("Đ", "Dj")
    text = unicodedata.normalize("NFKD", text).encode("ascii", "ignore").decode()
    return "-".join(w for w in "".join(c.lower() if c.isalnum() else " " for c in text).split())


def make_partner(rnd):
    surname = rnd.choice(SURNAMES)
    trade, slug = rnd.choice(TRADES)
    town = rnd.choice(TOWNS)
    form = rnd.choice(FORMS)
    if form == "obrt":
        first = rnd.choice(FIRST_NAMES)
        name = f"{trade} {surname}, vl. {first} {surname}"
        local = ascii_slug(f"{first}.{surname}").replace("-", ".")
    else:
        name = f"{trade} {surname} {form}"
        local = rnd.choice(LOCAL_PARTS)
    domain = f"{slug}-{ascii_slug(surname)}.example"
    address = f"{local}@{domain}"
    roll = rnd.random()
    if roll < 0.05:
        address = None
    elif roll < 0.08:
        address = ""
    return name, town, address


def rows():
    rnd = random.Random(2026)
    out = list(FIXED)
    while len(out) < COUNT:
        partner = make_partner(rnd)
        out.append(partner)
        if rnd.random() < 0.04:  # the same partner entered twice by the host's users
            out.append(partner)
    return out


def write(path):
    fd, tmp = tempfile.mkstemp(prefix=".komitenti-", dir=os.path.dirname(path) or ".")
    os.close(fd)
    try:
        con = sqlite3.connect(tmp)
        # NOCASE keeps the file usable by any SQLite tool; the component replaces it on
        # its own connection with a Croatian, case-insensitive order.
        con.execute(
            "CREATE TABLE Komitent ("
            " SifKomit INTEGER PRIMARY KEY,"
            " ImeKomit1 TEXT NOT NULL COLLATE NOCASE,"
            " Mjesto TEXT,"
            " eMail TEXT COLLATE NOCASE)")
        con.executemany(
            "INSERT INTO Komitent (SifKomit, ImeKomit1, Mjesto, eMail) VALUES (?, ?, ?, ?)",
            [(i + 1, n, t, a) for i, (n, t, a) in enumerate(rows())])
        con.commit()
        con.execute("VACUUM")
        con.close()
        os.chmod(tmp, 0o644)
        os.replace(tmp, path)
    except BaseException:
        os.unlink(tmp)
        raise


if __name__ == "__main__":
    here = os.path.dirname(os.path.abspath(__file__))
    write(sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "komitenti.sqlite"))
