1
30
1
1
30
model/strXXX    6-layer crust over a half-space
green/XXX/XXX.nnn
zahyo/XXX.dat
1
WRK
