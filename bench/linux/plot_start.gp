# SPDX-License-Identifier: MIT
# ms from nothing to every interface's first four answers (link state,
# MTU, MAC, name) against the number of veth pairs, for each way of
# starting.
#   gnuplot -e "datafile='start.dat'; outfile='linux_start.png'" bench/linux/plot_start.gp
set terminal pngcairo size 1100,620 font ",11" noenhanced
set output outfile
set title "Start: every interface of the namespace (both ends of every pair) asked four questions"
set xlabel "veth pairs in the namespace"
set ylabel "ms per start (median wall time, log scale)"
set logscale xy
set xrange [40:25000]
set xtics ("64" 64, "1 024" 1024, "4 096" 4096, "16 384" 16384)
set format y "%g"
set key outside right top
set grid
plot for [col=2:6] datafile using 1:col with linespoints lt (col - 1) lw 2 pt (col % 7 + 1) \
     title columnheader(col)
