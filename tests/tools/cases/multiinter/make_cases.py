#!/usr/bin/env python3
"""Writes multiinter_cases.json: `overlay` cases whose expected output is what
`bedtools multiinter` prints for the same files and options.

    tests/tools/cases/multiinter/make_cases.py   (needs bedtools; rerun when a case changes)

Each case names its input files (all in FILES below, sorted by sequence name and start as
bedtools needs them), bedtools' options and ours. The test (overlay_multiinter_test.cpp)
runs the tool on them and compares its output byte for byte, without bedtools.
"""

import json
import os
import subprocess
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))

FILES = {
    # Extra columns, a track line and comments before the rows, a leading zero, touching rows
    # of one set (joined into one row), a zero-length row inside a row, three sequences.
    "a.bed": "track name=a\n# comment\nchr1\t010\t20\tr1\t0\t+\nchr1\t20\t25\tr2\t0\t+\n"
             "chr1\t22\t22\tr3\t0\t-\nchr1\t60\t70\tr4\t0\t-\nscaffold_1\t5\t9\tr5\t0\t+\n",
    # No row on scaffold_1, one on chrX; a zero-length row alone (the bases on both sides).
    "b.bed": "chr1\t15\t30\nchr1\t45\t45\nchrX\t1\t4\n",
    # Only chr1, past the genome file's length of chr1.
    "c.bed": "chr1\t100\t200\n",
    "empty.bed": "",
    # Sequence names whose order is not the natural one (chr10 before chr2 by name).
    "n0.bed": "chr10\t1\t5\nchr2\t1\t5\n",
    "n1.bed": "chr10\t2\t3\nchr3\t1\t2\n",
    # GFF: 1-based closed coordinates; a directive and a comment first.
    "g.gff": "##gff-version 3\n# made by hand\nchr1\tsrc\tgene\t11\t20\t.\t+\t.\tID=g1\n"
             "chr1\tsrc\texon\t15\t15\t.\t+\t.\tID=e1\nchrX\tsrc\tgene\t3\t8\t.\t-\t.\tID=g2\n",
    "g.gtf": "chr1\tsrc\texon\t31\t40\t.\t+\t.\tgene_id \"x\"; transcript_id \"x.1\";\n",
    # VCF: the position and the length of the reference allele; symbolic variants (<DEL> with
    # SVLEN or END, <INS>) cover their reference allele only, as multiinter reads them.
    "v.vcf": "##fileformat=VCFv4.2\n##INFO=<ID=SVLEN,Number=.,Type=Integer,Description=\"l\">\n"
             "#CHROM\tPOS\tID\tREF\tALT\tQUAL\tFILTER\tINFO\n"
             "chr1\t12\t.\tA\tG\t.\t.\t.\nchr1\t18\trs1\tACGT\tA\t50\tPASS\t.\n"
             "chr1\t30\t.\tA\t<DEL>\t.\t.\tSVTYPE=DEL;SVLEN=-5\n"
             "chr1\t50\t.\tAT\t<DEL>\t.\t.\tSVTYPE=DEL;END=60\n"
             "chr1\t70\t.\tA\t<INS>\t.\t.\tSVTYPE=INS;SVLEN=10\nchrX\t2\t.\tC\tT,G\t.\t.\t.\n",
    "hg.genome": "chr1\t80\nchrM\t16\nchrX\t10\nchr2\t9\n",
}

# (name, bedtools' arguments after `multiinter`, ours after `overlay`)
CASES = [
    ("names", ["-names", "a", "b", "c", "-i", "a.bed", "b.bed", "c.bed"],
     ["a.bed", "b.bed", "c.bed", "--names", "a,b,c"]),
    ("header", ["-header", "-names", "a", "b", "-i", "a.bed", "b.bed"],
     ["a.bed", "b.bed", "--names", "a,b", "--header"]),
    ("empty stretches up to the genome's lengths",
     ["-empty", "-g", "hg.genome", "-names", "a", "b", "c", "-i", "a.bed", "b.bed", "c.bed"],
     ["a.bed", "b.bed", "c.bed", "--names", "a,b,c", "--empty", "--genome", "hg.genome"]),
    ("empty and header",
     ["-header", "-empty", "-g", "hg.genome", "-names", "b", "a", "-i", "b.bed", "a.bed"],
     ["b.bed", "a.bed", "--names", "b,a", "--header", "--empty", "--genome", "hg.genome"]),
    ("files in another order", ["-names", "b", "a", "-i", "b.bed", "a.bed"],
     ["b.bed", "a.bed", "--names", "b,a"]),
    ("an empty file", ["-names", "c", "e", "-i", "c.bed", "empty.bed"],
     ["c.bed", "empty.bed", "--names", "c,e"]),
    ("sequences in name order", ["-names", "x", "y", "-i", "n0.bed", "n1.bed"],
     ["n0.bed", "n1.bed", "--names", "x,y"]),
    ("GFF and GTF", ["-names", "g", "t", "b", "-i", "g.gff", "g.gtf", "b.bed"],
     ["g.gff", "g.gtf", "b.bed", "--names", "g,t,b"]),
    ("VCF", ["-header", "-names", "v", "b", "-i", "v.vcf", "b.bed"],
     ["v.vcf", "b.bed", "--names", "v,b", "--header"]),
    ("VCF, GFF and BED", ["-empty", "-g", "hg.genome", "-names", "v", "g", "a", "-i", "v.vcf",
                          "g.gff", "a.bed"],
     ["v.vcf", "g.gff", "a.bed", "--names", "v,g,a", "--empty", "--genome", "hg.genome"]),
    ("bedtools' spellings", ["-header", "-names", "a", "b", "-i", "a.bed", "b.bed"],
     ["-header", "-names", "a", "b", "-i", "a.bed", "b.bed"]),
    ("bedtools' spellings, empty",
     ["-empty", "-g", "hg.genome", "-names", "a", "c", "-i", "a.bed", "c.bed"],
     ["-empty", "-g", "hg.genome", "-names", "a", "c", "-i", "a.bed", "c.bed"]),
]


def main():
    cases = []
    with tempfile.TemporaryDirectory() as work:
        for name, text in FILES.items():
            with open(os.path.join(work, name), "w") as handle:
                handle.write(text)
        for name, theirs, ours in CASES:
            run = subprocess.run(["bedtools", "multiinter", *theirs], cwd=work,
                                 capture_output=True, text=True, check=True)
            cases.append({"name": name, "bedtools": theirs, "args": ours,
                          "expected": run.stdout})
    version = subprocess.run(["bedtools", "--version"], capture_output=True,
                             text=True).stdout.strip()
    with open(os.path.join(HERE, "multiinter_cases.json"), "w") as handle:
        json.dump({"made_with": version, "files": FILES, "cases": cases}, handle, indent=1)
        handle.write("\n")


if __name__ == "__main__":
    main()
