# Tables as Tavrin --table --label writes them, generated for the tests and the benchmarks of
# Tavrin-summary (deterministic: awk, no random source); sourced, not run.

# TREES rows of two runs' tables one after the other (labels iqtree and raxml, targets Choano and
# Fungi), as Tavrin --table --label writes them: 1 in 10 trees not-a-clade, the others with one
# of 40 sisters and a third with a second one.
labelled_tables() { # trees
    awk -v trees="$1" 'BEGIN {
        OFS = "\t"
        for (i = 1; i <= trees; i++) {
            if (i == 1 || i == trees / 2 + 1)
                print "file", "tree", "target", "status", "sister1", "sister2", "support",
                    "rerooted", "target_leaves", "outliers", "outlier_leaves", "root", "strays", "label"
            label = i <= trees / 2 ? "iqtree" : "raxml"
            h = (i * 2654435761) % 4294967296
            target = (h % 2 == 0) ? "Choano" : "Fungi"
            file = sprintf("genes/%s/OG%07d.nwk", label, i)
            if (h % 10 == 0) {
                print file, 1, target, "not-a-clade", "", "", "", "", 4, 1, target "-x", "given", "", label
            } else {
                s2 = (h % 3 == 0) ? sprintf("Group%02d", (h / 40) % 12) : ""
                print file, 1, target, "sisters", sprintf("Clade%02d", h % 40), s2, (h % 1000) / 10,
                    0, 3, 0, "", "given", "", label
            }
        }
    }'
}
