[General]
FileType=Actuator Pattern Set
PatternSetName=Small 9 (10 mm) Zernike
PatternCount=9
VoltageCount=9
Use DM Indexing=1

[FileInformation]
FileVersion=1.0

[Pattern000]
PatternName=Horizontal Tilt
Voltage000=0
Voltage001=0
Voltage002=56
Voltage003=60
Voltage004=56
Voltage005=0
Voltage006=0
Voltage007=0
Voltage008=0

[Pattern001]
PatternName=Vertical Tilt
Voltage000=0
Voltage001=60
Voltage002=56
Voltage003=0
Voltage004=0
Voltage005=0
Voltage006=0
Voltage007=0
Voltage008=56

[Pattern002]
PatternName=90 deg Astigmatism
Voltage000=0
Voltage001=60
Voltage002=0
Voltage003=0
Voltage004=0
Voltage005=60
Voltage006=0
Voltage007=0
Voltage008=0

[Pattern003]
PatternName=Defocus
Voltage000=60
Voltage001=46
Voltage002=46
Voltage003=46
Voltage004=46
Voltage005=46
Voltage006=46
Voltage007=46
Voltage008=46

[Pattern004]
PatternName=45 deg Astigmatism
Voltage000=0
Voltage001=0
Voltage002=0
Voltage003=0
Voltage004=60
Voltage005=0
Voltage006=0
Voltage007=0
Voltage008=60

[Pattern005]
PatternName=Trefoil 1
Voltage000=0
Voltage001=15
Voltage002=0
Voltage003=60
Voltage004=0
Voltage005=15
Voltage006=53
Voltage007=0
Voltage008=53

[Pattern006]
PatternName=Trefoil 2
Voltage000=0
Voltage001=0
Voltage002=53
Voltage003=15
Voltage004=0
Voltage005=60
Voltage006=0
Voltage007=15
Voltage008=53

[Pattern007]
PatternName=Quadrafoil 1
Voltage000=0
Voltage001=0
Voltage002=60
Voltage003=0
Voltage004=60
Voltage005=0
Voltage006=60
Voltage007=0
Voltage008=60

[Pattern008]
PatternName=Sphere Aberration
Voltage000=0
Voltage001=60
Voltage002=58
Voltage003=60
Voltage004=58
Voltage005=60
Voltage006=58
Voltage007=60
Voltage008=58
