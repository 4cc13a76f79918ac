2
4
1
2
3
model/strXXX   models
out/XXX/XXX.nnn   results
zahyo/XXX.dat
2
PA1
'PA2'
