#!/usr/bin/env python3
"""The shipped block list is the researched one, and it keeps the research's selection rules.

Usage: block_list_test.py [researched list]

resources/data.dat must be byte for byte resources/blocklist/email-trackers.txt (with LF
turned into CR LF, should the researched list ever come with LF ends), and the same as the
shared research copy when one is given or lies at ../shared/blocklist beside the clone.
The rules checked are those that need no network: the list's own format check (check.py),
one evidence row per name with an attributable source, the kinds and counts that SOURCES.md
states, the size cap, no test or staging hosts, no Microsoft-owned domains, no general web
analytics, and none of the names the research rejected.
"""
import csv
import os
import re
import subprocess
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
RESEARCH = os.path.join(ROOT, "resources", "blocklist")
SHIPPED = os.path.join(ROOT, "resources", "data.dat")
KINDS = {"open pixel", "click redirect", "both"}
LARGEST_LIST = 20000
# Registrable domains of Microsoft and its subsidiaries: anti-virus products take hosts
# entries for them as a hijacked hosts file and put the default one back.
MICROSOFT = ("microsoft.com", "microsoftonline.com", "windows.com", "windows.net", "azure.com",
             "azureedge.net", "office.com", "office.net", "office365.com", "outlook.com",
             "live.com", "live.net", "hotmail.com", "msn.com", "bing.com", "skype.com",
             "sharepoint.com", "onedrive.com", "xbox.com", "xboxlive.com", "linkedin.com",
             "licdn.com", "github.com", "githubusercontent.com", "activision.com",
             "blizzard.com", "battle.net", "dynamics.com", "visualstudio.com", "msft.net")
# General web analytics and ad-tech that also appear in mails (rule 3).
WEB_ANALYTICS = ("google-analytics.com", "googletagmanager.com", "doubleclick.net", "krxd.net",
                 "ioam.de", "sensic.net", "liadm.com", "mktoresp.com", "demdex.net",
                 "2o7.net", "bluekai.com", "adnxs.com", "mathtag.com", "mixpanel.com")
# Evidence a reader can follow: a repository file at a commit, a page, or an issue thread.
ATTRIBUTABLE = re.compile(r"[\w.-]+/[\w.-]+@[0-9a-f]{7,40}|https?://\S+|[\w.-]+/[\w.-]+ issue #\d+")
FLAGGED = "retained from revision 1"

failures = []


def fail(text):
    failures.append(text)


def read(path):
    with open(path, "rb") as handle:
        return handle.read()


def as_shipped(researched):
    """The list with the line ends the program reads: CR LF."""
    if b"\r\n" in researched:
        return researched
    return researched.replace(b"\n", b"\r\n")


def under(name, domains):
    return any(name == domain or name.endswith("." + domain) for domain in domains)


def check_shipped_copy(shipped, shared):
    for researched in [os.path.join(RESEARCH, "email-trackers.txt")] + shared:
        if as_shipped(read(researched)) != shipped:
            fail("resources/data.dat is not the researched list " + researched)


def check_format():
    run = subprocess.run([sys.executable, os.path.join(RESEARCH, "check.py"), SHIPPED],
                         stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True, check=False)
    if run.returncode != 0:
        fail("check.py: " + run.stdout.strip())


def check_evidence(names, sources):
    with open(os.path.join(RESEARCH, "provenance.tsv"), newline="", encoding="utf-8") as handle:
        rows = list(csv.reader(handle, delimiter="\t"))
    if not rows or rows[0] != ["name", "kind", "vendor", "evidence"]:
        fail("provenance.tsv: unexpected header")
        return
    rows = rows[1:]
    named = [row[0] for row in rows]
    if sorted(named) != sorted(names) or len(set(named)) != len(named):
        fail("provenance.tsv does not hold exactly one row per name: %d rows, %d names, "
             "missing %s, extra %s" % (len(named), len(names), sorted(set(names) - set(named))[:5],
                                       sorted(set(named) - set(names))[:5]))
    kinds = {kind: 0 for kind in KINDS}
    flagged = []
    for row in rows:
        if len(row) != 4 or row[1] not in KINDS or not row[2].strip():
            fail("provenance.tsv: malformed row %r" % row[:3])
            continue
        kinds[row[1]] += 1
        if row[3].startswith(FLAGGED):
            flagged.append(row[0])
        elif not ATTRIBUTABLE.search(row[3]):
            fail("%s: no attributable source in %r" % (row[0], row[3]))
    stated = re.findall(r"Whole list by kind: (\d+) both, (\d+) open pixel, (\d+) click redirect",
                        sources)
    if not stated:
        fail("SOURCES.md states no counts by kind")
    elif tuple(int(n) for n in stated[-1]) != (kinds["both"], kinds["open pixel"],
                                               kinds["click redirect"]):
        fail("counts by kind %r differ from SOURCES.md's %r" % (kinds, stated[-1]))
    # The names kept without an admissible source are the ones SOURCES.md names as such.
    for name in flagged:
        if "`%s`" % name not in sources:
            fail("%s rests on no admissible source and SOURCES.md does not say so" % name)


def check_selection(names, sources):
    stated = re.search(r"holds \*\*([\d,]+)\*\* fully qualified host names", sources)
    if not stated or int(stated.group(1).replace(",", "")) != len(names):
        fail("SOURCES.md states another count than the list's %d" % len(names))
    if len(names) > LARGEST_LIST:
        fail("%d names, more than %d" % (len(names), LARGEST_LIST))
    start = sources.find("Rejected in revision 3")
    end = sources.find("## Selection rules")
    rejected = set(re.findall(r"`([a-z0-9.-]+\.[a-z]{2,})`", sources[start:end]))
    if start < 0 or not rejected:
        fail("SOURCES.md lists no rejected names")
    for name in names:
        labels = name.split(".")
        if any(re.fullmatch(r"(.*-)?(test|staging|stage|dev|qa|sandbox|uat)\d*(-.*)?", label)
               for label in labels):
            fail(name + ": a test or staging host")
        if under(name, MICROSOFT):
            fail(name + ": a Microsoft-owned domain")
        if under(name, WEB_ANALYTICS):
            fail(name + ": general web analytics")
        if name in rejected:
            fail(name + ": rejected by the research")
        if name.endswith(".na1.hubspotlinks.com"):
            fail(name + ": a per-portal link host, taken out of the list")


def main(argv):
    shared = [argv[1]] if len(argv) > 1 else []
    beside = os.path.join(os.path.dirname(ROOT), "shared", "blocklist", "email-trackers.txt")
    if not shared and os.path.isfile(beside):
        shared = [beside]
    shipped = read(SHIPPED)
    names = shipped.decode("ascii", "replace").split("\r\n")[:-1]
    with open(os.path.join(RESEARCH, "SOURCES.md"), encoding="utf-8") as handle:
        sources = handle.read()
    check_shipped_copy(shipped, shared)
    check_format()
    check_evidence(names, sources)
    check_selection(names, sources)
    for text in failures[:40]:
        print("FAIL: " + text)
    if failures:
        return 1
    print("block list: %d names, the researched list%s; rules hold" %
          (len(names), " (and " + shared[0] + ")" if shared else ""))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
