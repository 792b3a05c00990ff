[General]
FileType=Actuator Pattern Set
PatternSetName=Small 9 (10 mm) samples
PatternCount=8
VoltageCount=9

[FileInformation]
FileVersion=1.0

[Pattern000]
PatternName=Flat
Voltage000=0
Voltage001=0
Voltage002=0
Voltage003=0
Voltage004=0
Voltage005=0
Voltage006=0
Voltage007=0
Voltage008=0

[Pattern001]
PatternName=Focus 1
Voltage000=30
Voltage001=30
Voltage002=30
Voltage003=30
Voltage004=30
Voltage005=30
Voltage006=30
Voltage007=30
Voltage008=30

[Pattern002]
PatternName=Focus 2
Voltage000=60
Voltage001=60
Voltage002=60
Voltage003=60
Voltage004=60
Voltage005=60
Voltage006=60
Voltage007=60
Voltage008=60

[Pattern003]
PatternName=Focus 3
Voltage000=90
Voltage001=90
Voltage002=90
Voltage003=90
Voltage004=90
Voltage005=90
Voltage006=90
Voltage007=90
Voltage008=90

[Pattern004]
PatternName=Focus 4
Voltage000=120
Voltage001=120
Voltage002=120
Voltage003=120
Voltage004=120
Voltage005=120
Voltage006=120
Voltage007=120
Voltage008=120

[Pattern005]
PatternName=Tilt X
Voltage000=124.6
Voltage001=124.6
Voltage002=67.4
Voltage003=0
Voltage004=67.4
Voltage005=124.6
Voltage006=162.8
Voltage007=176.2
Voltage008=162.8

[Pattern006]
PatternName=Tilt Y
Voltage000=124.6
Voltage001=0
Voltage002=67.4
Voltage003=124.6
Voltage004=162.8
Voltage005=176.2
Voltage006=162.8
Voltage007=124.6
Voltage008=67.4

[Pattern007]
PatternName=Astigmatism
Voltage000=130.8
Voltage001=0.1
Voltage002=130.8
Voltage003=185.1
Voltage004=130.8
Voltage005=0.1
Voltage006=130.8
Voltage007=185.1
Voltage008=130.8
