2
5
2
1
5
model/strXXX    model file of each station (XXX = station code)
green/XXX/XXX.nnn    result files (folder per station)
zahyo/XXX.dat
2
OSK
KBE
