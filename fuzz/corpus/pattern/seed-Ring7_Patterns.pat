[General]
FileType=Actuator Pattern Set
PatternSetName=Ring 7 (12 mm) samples
PatternCount=8
VoltageCount=7

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

[Pattern001]
PatternName=Focus 1
Voltage000=50
Voltage001=50
Voltage002=50
Voltage003=50
Voltage004=50
Voltage005=50
Voltage006=50

[Pattern002]
PatternName=Focus 2
Voltage000=100
Voltage001=100
Voltage002=100
Voltage003=100
Voltage004=100
Voltage005=100
Voltage006=100

[Pattern003]
PatternName=Focus 3
Voltage000=150
Voltage001=150
Voltage002=150
Voltage003=150
Voltage004=150
Voltage005=150
Voltage006=150

[Pattern004]
PatternName=Focus 4
Voltage000=200
Voltage001=200
Voltage002=200
Voltage003=200
Voltage004=200
Voltage005=200
Voltage006=200

[Pattern005]
PatternName=Tilt X
Voltage000=216.5
Voltage001=216.5
Voltage002=79.2
Voltage003=79.2
Voltage004=216.5
Voltage005=295.8
Voltage006=295.8

[Pattern006]
PatternName=Tilt Y
Voltage000=223
Voltage001=0
Voltage002=157.6
Voltage003=273.1
Voltage004=315.3
Voltage005=273.1
Voltage006=157.6

[Pattern007]
PatternName=Astigmatism
Voltage000=237.3
Voltage001=0
Voltage002=290.6
Voltage003=290.6
Voltage004=0
Voltage005=290.6
Voltage006=290.6
