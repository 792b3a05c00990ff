[General]
FileType=Actuator Pattern Set
PatternSetName=Small 9 (10 mm) samples (exact model, nonlinear)
PatternCount=9
VoltageCount=9

[FileInformation]
FileVersion=1.0

[Pattern000]
PatternName=Flat at 60 V
Voltage000=60
Voltage001=60
Voltage002=60
Voltage003=60
Voltage004=60
Voltage005=60
Voltage006=60
Voltage007=60
Voltage008=60

[Pattern001]
PatternName=Focus -0.10 um RMS
Voltage000=21.2
Voltage001=38.7
Voltage002=38.7
Voltage003=38.7
Voltage004=38.7
Voltage005=38.7
Voltage006=38.7
Voltage007=38.7
Voltage008=38.7

[Pattern002]
PatternName=Focus -0.05 um RMS
Voltage000=45.3
Voltage001=50.6
Voltage002=50.6
Voltage003=50.6
Voltage004=50.6
Voltage005=50.6
Voltage006=50.6
Voltage007=50.6
Voltage008=50.6

[Pattern003]
PatternName=Focus +0.05 um RMS
Voltage000=71.4
Voltage001=67.9
Voltage002=67.9
Voltage003=67.9
Voltage004=67.9
Voltage005=67.9
Voltage006=67.9
Voltage007=67.9
Voltage008=67.9

[Pattern004]
PatternName=Focus +0.10 um RMS
Voltage000=80.8
Voltage001=74.9
Voltage002=74.9
Voltage003=74.9
Voltage004=74.9
Voltage005=74.9
Voltage006=74.9
Voltage007=74.9
Voltage008=74.9

[Pattern005]
PatternName=Tilt X +0.25 um RMS
Voltage000=24
Voltage001=68.8
Voltage002=102.6
Voltage003=110.1
Voltage004=102.6
Voltage005=68.8
Voltage006=0.1
Voltage007=0.1
Voltage008=0.1

[Pattern006]
PatternName=Tilt Y +0.25 um RMS
Voltage000=24
Voltage001=110.1
Voltage002=102.6
Voltage003=68.8
Voltage004=0.1
Voltage005=0.1
Voltage006=0.1
Voltage007=68.8
Voltage008=102.6

[Pattern007]
PatternName=Astigmatism 0 deg +0.10 um RMS
Voltage000=50.9
Voltage001=101.9
Voltage002=56.3
Voltage003=0.1
Voltage004=56.3
Voltage005=101.9
Voltage006=56.3
Voltage007=0.1
Voltage008=56.3

[Pattern008]
PatternName=Astigmatism 45 deg +0.10 um RMS
Voltage000=50.7
Voltage001=56.3
Voltage002=0.1
Voltage003=56.3
Voltage004=102.2
Voltage005=56.3
Voltage006=0.1
Voltage007=56.3
Voltage008=102.2
