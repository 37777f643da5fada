# ns per query of the boolean hit path against the number of cached
# interfaces, for the cache and each baseline.
#   gnuplot -e "datafile='hit.dat'; outfile='hit_path.png'" bench/plot.gp
set terminal pngcairo size 960,600 font ",11"
set output outfile
set title "Boolean query (is the link up), keys drawn at random"
set xlabel "cached interfaces"
set ylabel "ns per query (median CPU time)"
set logscale xy
set xtics ("64" 64, "1 024" 1024, "16 384" 16384, "65 536" 65536)
set format y "%g"
set key outside right top
set grid
plot for [col=2:10] datafile using 1:col with linespoints lw 2 pt 7 title columnheader(col)
