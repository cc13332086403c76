* Brindle's example file: a small household survey.
* Regenerate survey.sav with:  pspp examples/survey.sps  (from the project root).
DATA LIST LIST /id (F4.0) region (F1.0) sex (A1) age (F3.0) income (DOLLAR10.2)
  satisfaction (F1.0) interviewed (DATE11) duration (TIME8.0) comment (A40) weight (F6.3).
BEGIN DATA
1 1 "F" 34 42150.5 4 "12-JAN-2024" "00:14:30" "Friendly, answered everything" 1.2
2 2 "M" 51 38900 5 "12-JAN-2024" "00:21:05" "" 0.8
3 3 "F" 27 25000.75 3 "13-JAN-2024" "00:09:40" "Short on time" 1.1
4 1 "M" 62 -1 2 "13-JAN-2024" "00:30:00" "Refused income" 0.9
5 4 "F" 45 61200 9 "14-JAN-2024" "00:18:20" "" 1.0
6 2 "X" 38 47300.25 4 "14-JAN-2024" "00:16:45" "Sex not recorded" 1.3
7 3 "M" 99 33100 1 "15-JAN-2024" "00:12:10" "Age refused" 0.7
8 1 "F" 29 52000 5 "15-JAN-2024" "00:19:55" "" 1.0
9 4 "M" 41 29800.5 3 "16-JAN-2024" "00:11:25" "Interrupted, called back" 1.2
10 2 "F" 56 71500 4 "16-JAN-2024" "00:25:30" "" 0.8
11 3 "F" 23 18750 2 "17-JAN-2024" "00:08:15" "Student" 1.1
12 1 "M" 47 58400 5 "17-JAN-2024" "00:22:40" "" 0.9
END DATA.
VARIABLE LABELS id "Respondent number"
  /region "Region of residence"
  /sex "Sex of respondent"
  /age "Age in years"
  /income "Yearly household income"
  /satisfaction "How satisfied are you with your neighbourhood?"
  /interviewed "Date of interview"
  /duration "Length of interview"
  /comment "Interviewer's comment"
  /weight "Design weight".
VALUE LABELS region 1 "North" 2 "East" 3 "South" 4 "West"
  /sex "F" "Female" "M" "Male" "X" "Not recorded"
  /satisfaction 1 "Very dissatisfied" 2 "Dissatisfied" 3 "Neutral" 4 "Satisfied" 5 "Very satisfied" 9 "No answer".
MISSING VALUES age (99) /income (LO THRU 0) /satisfaction (9) /sex ("X").
WEIGHT BY weight.
DOCUMENT Example data shipped with Brindle: twelve household interviews.
DOCUMENT The weight variable corrects for the regions' sampling rates.
SAVE OUTFILE="examples/survey.sav" /COMPRESSED.
