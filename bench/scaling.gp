# Draws doc/scaling.svg from the table bench/run --scaling writes.
#   gnuplot -e "table='...'; output='doc/scaling.svg'" bench/scaling.gp
set terminal svg size 900,420 font "sans,12" background "white"
set output output
set datafile separator "\t"
set key top left
set logscale xy
set xrange [*:*] noextend
set grid
set multiplot layout 1,2 title "srtx cost as the work grows (medians, page cache warm)"

set title "listing"
set xlabel "streams"
set ylabel "milliseconds"
plot table using (strcol(1) eq "listing" ? $2 : NaN):3 every ::1 with linespoints lw 2 title "srtx", \
     table using (strcol(1) eq "listing" ? $2 : NaN):4 every ::1 with linespoints dt 2 title "read floor (reading the file once)", \
     table using (strcol(1) eq "listing" ? $2 : NaN):5 every ::1 with linespoints dt 3 title "md5sum"

set title "dump"
set xlabel ".ssd size (MiB)"
set ylabel "milliseconds"
plot table using (strcol(1) eq "dump" ? $2 : NaN):3 every ::1 with linespoints lw 2 title "srtx", \
     table using (strcol(1) eq "dump" ? $2 : NaN):4 every ::1 with linespoints dt 2 title "cat"

unset multiplot
