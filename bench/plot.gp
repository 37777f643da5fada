# SPDX-License-Identifier: MIT
# ns per query of the boolean hit path against the number of cached
# interfaces, for the cache and each baseline.
#   gnuplot -e "datafile='hit.dat'; outfile='hit_path.png'" bench/plot.gp
set terminal pngcairo size 1100,620 font ",11" noenhanced
set output outfile
set title "Boolean query (is the link up), keys drawn at random over every cached interface"
set xlabel "cached interfaces"
set ylabel "ns per query (median CPU time, log scale)"
set logscale xy
set xrange [40:100000]
set xtics ("64" 64, "1 024" 1024, "16 384" 16384, "65 536" 65536)
set format y "%g"
set key outside right top
set grid
set linetype 9 lc rgb "#8c564b"
plot for [col=2:10] datafile using 1:col with linespoints lt (col - 1) lw 2 pt (col % 7 + 1) \
     title columnheader(col)
