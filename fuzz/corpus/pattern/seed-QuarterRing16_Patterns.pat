[General]
FileType=Actuator Pattern Set
PatternSetName=Quarter rings 16 (20 mm) samples
PatternCount=8
VoltageCount=16

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
Voltage009=0
Voltage010=0
Voltage011=0
Voltage012=0
Voltage013=0
Voltage014=0
Voltage015=0

[Pattern001]
PatternName=Focus 1
Voltage000=40
Voltage001=40
Voltage002=40
Voltage003=40
Voltage004=40
Voltage005=40
Voltage006=40
Voltage007=40
Voltage008=40
Voltage009=40
Voltage010=40
Voltage011=40
Voltage012=40
Voltage013=40
Voltage014=40
Voltage015=40

[Pattern002]
PatternName=Focus 2
Voltage000=80
Voltage001=80
Voltage002=80
Voltage003=80
Voltage004=80
Voltage005=80
Voltage006=80
Voltage007=80
Voltage008=80
Voltage009=80
Voltage010=80
Voltage011=80
Voltage012=80
Voltage013=80
Voltage014=80
Voltage015=80

[Pattern003]
PatternName=Focus 3
Voltage000=120
Voltage001=120
Voltage002=120
Voltage003=120
Voltage004=120
Voltage005=120
Voltage006=120
Voltage007=120
Voltage008=120
Voltage009=120
Voltage010=120
Voltage011=120
Voltage012=120
Voltage013=120
Voltage014=120
Voltage015=120

[Pattern004]
PatternName=Focus 4
Voltage000=160
Voltage001=160
Voltage002=160
Voltage003=160
Voltage004=160
Voltage005=160
Voltage006=160
Voltage007=160
Voltage008=160
Voltage009=160
Voltage010=160
Voltage011=160
Voltage012=160
Voltage013=160
Voltage014=160
Voltage015=160

[Pattern005]
PatternName=Tilt X
Voltage000=226.2
Voltage001=226.2
Voltage002=93.7
Voltage003=93.7
Voltage004=226.2
Voltage005=226.2
Voltage006=93.7
Voltage007=93.7
Voltage008=226.2
Voltage009=226.2
Voltage010=93.7
Voltage011=93.7
Voltage012=226.2
Voltage013=226.2
Voltage014=93.7
Voltage015=93.7

[Pattern006]
PatternName=Tilt Y
Voltage000=93.7
Voltage001=226.2
Voltage002=226.2
Voltage003=93.7
Voltage004=93.7
Voltage005=226.2
Voltage006=226.2
Voltage007=93.7
Voltage008=93.7
Voltage009=226.2
Voltage010=226.2
Voltage011=93.7
Voltage012=93.7
Voltage013=226.2
Voltage014=226.2
Voltage015=93.7

[Pattern007]
PatternName=Astigmatism
Voltage000=159.9
Voltage001=159.9
Voltage002=159.9
Voltage003=159.9
Voltage004=159.9
Voltage005=159.9
Voltage006=159.9
Voltage007=159.9
Voltage008=159.9
Voltage009=159.9
Voltage010=159.9
Voltage011=159.9
Voltage012=159.9
Voltage013=159.9
Voltage014=159.9
Voltage015=159.9
