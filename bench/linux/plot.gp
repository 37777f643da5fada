# SPDX-License-Identifier: MIT
# ns per "is the link up" query against the number of veth pairs, for the
# cache's hit and every other way of asking.
#   gnuplot -e "datafile='linux.dat'; outfile='linux_query.png'" bench/linux/plot.gp
set terminal pngcairo size 1100,620 font ",11" noenhanced
set output outfile
set title "Is the link up: the same question about the same veth interfaces, keys at random"
set xlabel "veth pairs in the namespace"
set ylabel "ns per query (median wall time, log scale)"
set logscale xy
set xrange [40:25000]
set xtics ("64" 64, "1 024" 1024, "4 096" 4096, "16 384" 16384)
set format y "%g"
set key outside right top
set grid
plot for [col=2:7] datafile using 1:col with linespoints lt (col - 1) lw 2 pt (col % 7 + 1) \
     title columnheader(col)
