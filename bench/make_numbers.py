#!/usr/bin/env python3
"""Writes a phone book of N made-up contacts for the benchmarks, the same every time.

  make_numbers.py N FOLDER

FOLDER receives "Numbers.dat" (UTF-8, CR LF after each of the sixteen lines of an entry, a line
break inside a comment written as U+2028: exactly what the program itself saves, so a load
followed by a save gives the same bytes) and "addressbook", the same contacts in abook's own
file format, for the comparison with that program.

Entry i is the same in every file, so the smaller phone books are the start of the larger ones.
About a third of the names carry accented Latin or Cyrillic letters, every field is filled, one
entry in ten has a comment of several lines, and one in two hundred repeats an earlier name.
"""

import os
import random
import sys

SEED = 7_100_003

LATIN_FIRST = ["James", "Mary", "Robert", "Patricia", "John", "Jennifer", "Michael", "Linda", "David",
               "Elizabeth", "William", "Barbara", "Richard", "Susan", "Joseph", "Jessica", "Thomas",
               "Sarah", "Charles", "Karen", "Daniel", "Nancy", "Matthew", "Lisa", "Anthony", "Betty",
               "Mark", "Margaret", "Steven", "Sandra", "Paul", "Ashley", "Andrew", "Kimberly", "Joshua",
               "Emily", "Kenneth", "Donna", "Kevin", "Michelle", "Brian", "Carol", "George", "Amanda",
               "Timothy", "Melissa", "Ronald", "Deborah", "Jason", "Stephanie", "Aiden", "Olivia",
               "Liam", "Charlotte", "Noah", "Amelia", "Jack", "Isla", "Oscar", "Mia", "Harper", "Ruby"]
LATIN_LAST = ["Smith", "Johnson", "Williams", "Brown", "Jones", "Garcia", "Miller", "Davis", "Wilson",
              "Anderson", "Taylor", "Thomas", "Moore", "Martin", "Jackson", "Thompson", "White",
              "Harris", "Clark", "Lewis", "Robinson", "Walker", "Young", "Allen", "King", "Wright",
              "Scott", "Hill", "Green", "Adams", "Baker", "Nelson", "Carter", "Mitchell", "Roberts",
              "Turner", "Phillips", "Campbell", "Parker", "Evans", "Edwards", "Collins", "Stewart",
              "Morris", "Murphy", "Cook", "Rogers", "Morgan", "Cooper", "Peterson", "Bailey", "Reed",
              "Kelly", "Howard", "Fitzgerald-Whitmore", "O'Brien", "MacDonald", "Nguyen", "Tran", "Li"]
ACCENTED_FIRST = ["José", "Zoë", "François", "Jürgen", "Łukasz", "Søren", "Ångström", "Chloé", "Renée",
                  "Dvořák", "Åsa", "Björn", "Mañuel", "Inès", "Małgorzata", "Ðorđe", "Tomáš", "Hélène",
                  "Núria", "Göran", "Anaïs", "Ærin", "Zdeněk", "Grégoire", "Ümit", "Saša"]
ACCENTED_LAST = ["Müller", "García-Pérez", "Šimůnek", "Ødegård", "Lefèvre", "Wójcik", "Nuñez",
                 "Þórsson", "Dąbrowski", "Çelik", "Kovačević", "Bäckström", "Żółkiewski", "Høeg",
                 "Gonçalves", "Jääskeläinen", "Rémy", "Ibáñez", "Schrödinger", "Ševčík"]
CYRILLIC_FIRST = ["Иван", "Мария", "Алексей", "Наталья", "Дмитрий", "Ольга", "Сергей", "Елена",
                  "Андрей", "Татьяна", "Михаил", "Светлана", "Юрий", "Ксения", "Владимир", "Яна"]
CYRILLIC_LAST = ["Петров", "Иванова", "Смирнов", "Кузнецова", "Попов", "Васильева", "Соколов",
                 "Михайлова", "Новиков", "Фёдорова", "Морозов", "Волкова", "Лебедев", "Жуковская"]
STREETS = ["High", "Station", "Main", "Church", "Park", "Victoria", "Green", "Manor", "Kingsway",
           "Rue de la République", "Hauptstraße", "Calle Mayor", "Ulica Długa", "Тверская",
           "Невский проспект", "Sørkedalsveien", "Elm", "Oak", "Wattle", "Banksia", "Jacaranda"]
STREET_KINDS = ["Street", "Road", "Avenue", "Lane", "Crescent", "Parade", "Close", "Way", "Drive", ""]
SUBURBS = ["Fitzroy", "Paddington", "Glebe", "Newtown", "Carlton", "Brunswick", "Subiaco",
           "Fremantle", "Sandy Bay", "Battery Point", "Montmartre", "Kreuzberg", "Gràcia",
           "Södermalm", "Арбат", "Frederiksberg", "Żoliborz", "St Kilda East", "North Parramatta"]
STATES = ["NSW", "VIC", "QLD", "WA", "SA", "TAS", "ACT", "NT", "CA", "NY", "TX", "BY", "IDF", "MOW"]
COUNTRIES = ["Australia", "New Zealand", "United Kingdom", "United States", "France", "Deutschland",
             "España", "Polska", "Sverige", "Россия", "Danmark", "Česká republika", "Ísland"]
COMPANIES = ["Acme Pty Ltd", "Blue Gum Plumbing", "Northside Dental", "Harbour Freight & Co",
             "Société Générale de Transport", "Müller Maschinenbau GmbH", "ООО «Северсталь»",
             "Kangaroo Island Tours", "Smith & Sons Accountants", "Wattle Grove Primary School",
             "City Council", "Červený Kříž", "Hôtel du Lac", "St Vincent's Hospital"]
DOMAINS = ["example.com", "example.org", "mail.example.net", "post.example.co.uk", "example.de"]
COMMENT_WORDS = ["call", "after", "five", "birthday", "in", "March", "owes", "me", "lunch", "met",
                 "at", "conference", "prefers", "email", "dog", "called", "Biscuit", "née", "Müller",
                 "спросить", "про", "дачу", "allergic", "to", "peanuts", "works", "nights", "café"]

SEPARATOR = "\u2028"  # a line break inside a value, as the program writes it


def phone(rng):
    shape = rng.randrange(4)
    if shape == 0:
        return "(0%d) %04d %04d" % (rng.randrange(2, 9), rng.randrange(10000), rng.randrange(10000))
    if shape == 1:
        return "04%02d %03d %03d" % (rng.randrange(100), rng.randrange(1000), rng.randrange(1000))
    if shape == 2:
        return "+%d %d %d" % (rng.randrange(1, 99), rng.randrange(100, 999), rng.randrange(100000, 9999999))
    return "%d" % rng.randrange(1000000, 99999999)


def ascii_handle(text):
    kept = "".join(c for c in text.lower() if c.isascii() and c.isalnum())
    return kept or "contact"


def words(rng, low, high):
    return " ".join(rng.choice(COMMENT_WORDS) for _ in range(rng.randrange(low, high)))


def contact(rng, names):
    """The sixteen fields of one entry, in the order of the data file."""
    script = rng.randrange(6)
    if script < 4:
        first, last = rng.choice(LATIN_FIRST), rng.choice(LATIN_LAST)
    elif script == 4:
        first, last = rng.choice(ACCENTED_FIRST), rng.choice(ACCENTED_LAST + LATIN_LAST)
    else:
        first, last = rng.choice(CYRILLIC_FIRST), rng.choice(CYRILLIC_LAST)
    if names and rng.randrange(200) == 0:
        name = rng.choice(names)  # the same person entered twice
    else:
        middle = " %s." % chr(65 + rng.randrange(26)) if rng.randrange(3) == 0 else ""
        name = "%s%s %s" % (first, middle, last)
    handle = "%s.%s%d" % (ascii_handle(first), ascii_handle(last), rng.randrange(1000))
    street = "%s%d %s %s" % ("Unit %d, " % rng.randrange(1, 40) if rng.randrange(5) == 0 else "",
                             rng.randrange(1, 400), rng.choice(STREETS), rng.choice(STREET_KINDS))
    if rng.randrange(10) == 0:
        comments = SEPARATOR.join(words(rng, 2, 9) for _ in range(rng.randrange(2, 5)))
    else:
        comments = words(rng, 1, 12)
    company = rng.choice(COMPANIES)
    return [
        name,
        street.rstrip(),
        rng.choice(SUBURBS),
        rng.choice(STATES),
        "%04d" % rng.randrange(10000) if rng.randrange(4) else "%05d" % rng.randrange(100000),
        rng.choice(COUNTRIES),
        phone(rng),
        phone(rng),
        phone(rng),
        phone(rng),
        company,
        phone(rng),
        phone(rng),
        "%s@%s" % (handle, rng.choice(DOMAINS)),
        "https://www.%s.example.com/%s" % (ascii_handle(company)[:12], handle),
        comments,
    ]


# abook keeps a value on one line: the comment's lines are joined with "; " there.
# Our fields without a standard abook field go to abook's custom fields, which it keeps.
ABOOK_KEYS = [("name", 0), ("email", 13), ("address", 1), ("city", 2), ("state", 3), ("zip", 4),
              ("country", 5), ("phone", 6), ("workphone", 11), ("fax", 8), ("mobile", 9), ("url", 14),
              ("notes", 15), ("custom1", 7), ("custom2", 10), ("custom3", 12)]


def main():
    if len(sys.argv) != 3:
        sys.exit("usage: make_numbers.py N FOLDER")
    count = int(sys.argv[1])
    folder = sys.argv[2]
    os.makedirs(folder, exist_ok=True)
    rng = random.Random(SEED)
    names = []
    numbers_path = os.path.join(folder, "Numbers.dat")
    abook_path = os.path.join(folder, "addressbook")
    with open(numbers_path + ".part", "wb") as numbers, open(abook_path + ".part", "wb") as abook:
        abook.write(b"# abook addressbook file\n\n[format]\nprogram=abook\nversion=0.6.1\n\n")
        for i in range(count):
            fields = contact(rng, names)
            if len(names) < 5000:
                names.append(fields[0])
            numbers.write(("\r\n".join(fields) + "\r\n").encode("utf-8"))
            lines = ["[%d]" % i]
            for key, index in ABOOK_KEYS:
                lines.append("%s=%s" % (key, fields[index].replace(SEPARATOR, "; ")))
            abook.write(("\n".join(lines) + "\n\n").encode("utf-8"))
    os.replace(numbers_path + ".part", numbers_path)
    os.replace(abook_path + ".part", abook_path)


if __name__ == "__main__":
    main()
