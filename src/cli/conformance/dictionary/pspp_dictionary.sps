* Writes pspp_dictionary.sav with every dictionary part PSPP can write, then
* records PSPP's own reading of it in pspp_dictionary.csv:
*   pspp -O format=csv pspp_dictionary.sps -o pspp_dictionary.csv
* (the first part of the output, before the GET, is PSPP's reading of its
* working file and is not compared).
DATA LIST LIST /a b c d e f g h (F8.0) s1 s2 (A8) longname_variable (F8.2) wide (A300).
BEGIN DATA
1 0 1 34 34 0 1 1 yes no 3.5 text
0 1 1 0 34 34 1 0 no yes 4.5 more
END DATA.
VARIABLE LABELS a 'Label of a' b 'Label of b' s1 'String one' s2 'String "two"'.
VALUE LABELS d e 34 'Thirty-four'.
VARIABLE LEVEL a (NOMINAL) b (ORDINAL) c (SCALE).
VARIABLE ROLE /TARGET a /BOTH b /NONE c /PARTITION d /SPLIT e /INPUT f.
VARIABLE ALIGNMENT a (LEFT) b (CENTER) c (RIGHT).
VARIABLE WIDTH a (12) b (3).
FORMATS a (F5.1).
WRITE FORMATS b (F10.3).
VARIABLE ATTRIBUTE VARIABLES=a ATTRIBUTE=fred[1]('23') fred[2]('34').
VARIABLE ATTRIBUTE VARIABLES=a ATTRIBUTE=bert('it''s "quoted"').
VARIABLE ATTRIBUTE VARIABLES=longname_variable ATTRIBUTE=@hidden('at sign') Note('x').
VARIABLE ATTRIBUTE VARIABLES=wide ATTRIBUTE=Comment('a (parenthesis) and a / slash').
DATAFILE ATTRIBUTE ATTRIBUTE=Origin('survey 2024') Version[1]('1') Version[2]('2').
MRSETS /MCGROUP NAME=$mc LABEL='my mcgroup' VARIABLES=a b c
       /MDGROUP NAME=$md VARIABLES=f g h VALUE=1
       /MDGROUP NAME=$mds LABEL='string dichotomy' VARIABLES=s1 s2 VALUE='yes'
       /MDGROUP NAME=$cv LABEL='counted values' CATEGORYLABELS=COUNTEDVALUES VARIABLES=d e VALUE=34
       /MDGROUP NAME=$vl CATEGORYLABELS=COUNTEDVALUES LABELSOURCE=VARLABEL VARIABLES=a b VALUE=1
       /MCGROUP NAME=$ln LABEL='long names' VARIABLES=longname_variable g.
SAVE OUTFILE='pspp_dictionary.sav'.
GET FILE='pspp_dictionary.sav'.
DISPLAY DICTIONARY.
DISPLAY @ATTRIBUTES.
MRSETS /DISPLAY NAME=ALL.
