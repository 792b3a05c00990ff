[General]
FileType=Actuator Pattern Set
PatternSetName=Hex 19 (12 mm) samples (exact model, nonlinear)
PatternCount=11
VoltageCount=19

[FileInformation]
FileVersion=1.0

[Pattern000]
PatternName=Flat at 70 V
Voltage000=70
Voltage001=70
Voltage002=70
Voltage003=70
Voltage004=70
Voltage005=70
Voltage006=70
Voltage007=70
Voltage008=70
Voltage009=70
Voltage010=70
Voltage011=70
Voltage012=70
Voltage013=70
Voltage014=70
Voltage015=70
Voltage016=70
Voltage017=70
Voltage018=70

[Pattern001]
PatternName=Focus -0.25 um RMS
Voltage000=43.9
Voltage001=43.1
Voltage002=43.1
Voltage003=43.1
Voltage004=43.1
Voltage005=43.1
Voltage006=43.1
Voltage007=45.5
Voltage008=38.6
Voltage009=45.6
Voltage010=38.5
Voltage011=45.6
Voltage012=38.6
Voltage013=45.5
Voltage014=38.6
Voltage015=45.6
Voltage016=38.5
Voltage017=45.6
Voltage018=38.6

[Pattern002]
PatternName=Focus -0.10 um RMS
Voltage000=61.4
Voltage001=61.1
Voltage002=61.1
Voltage003=61.1
Voltage004=61.1
Voltage005=61.1
Voltage006=61.1
Voltage007=61.6
Voltage008=59.8
Voltage009=61.6
Voltage010=59.8
Voltage011=61.6
Voltage012=59.8
Voltage013=61.6
Voltage014=59.8
Voltage015=61.6
Voltage016=59.8
Voltage017=61.6
Voltage018=59.8

[Pattern003]
PatternName=Focus +0.10 um RMS
Voltage000=77.2
Voltage001=77.5
Voltage002=77.5
Voltage003=77.5
Voltage004=77.5
Voltage005=77.5
Voltage006=77.5
Voltage007=77.3
Voltage008=78.6
Voltage009=77.3
Voltage010=78.6
Voltage011=77.3
Voltage012=78.6
Voltage013=77.3
Voltage014=78.6
Voltage015=77.3
Voltage016=78.6
Voltage017=77.3
Voltage018=78.6

[Pattern004]
PatternName=Focus +0.25 um RMS
Voltage000=86
Voltage001=86.8
Voltage002=86.8
Voltage003=86.8
Voltage004=86.8
Voltage005=86.8
Voltage006=86.8
Voltage007=86.7
Voltage008=89.5
Voltage009=86.7
Voltage010=89.5
Voltage011=86.7
Voltage012=89.5
Voltage013=86.7
Voltage014=89.5
Voltage015=86.7
Voltage016=89.5
Voltage017=86.7
Voltage018=89.5

[Pattern005]
PatternName=Tilt X +0.50 um RMS
Voltage000=90.7
Voltage001=57.2
Voltage002=63.6
Voltage003=63.6
Voltage004=57.2
Voltage005=0.1
Voltage006=0.1
Voltage007=101.6
Voltage008=39.4
Voltage009=0.1
Voltage010=0.1
Voltage011=0.1
Voltage012=39.4
Voltage013=101.6
Voltage014=120.6
Voltage015=140
Voltage016=140
Voltage017=140
Voltage018=120.6

[Pattern006]
PatternName=Tilt Y +0.50 um RMS
Voltage000=88.6
Voltage001=0.1
Voltage002=0.1
Voltage003=80.7
Voltage004=45
Voltage005=80.7
Voltage006=0.1
Voltage007=140
Voltage008=138.1
Voltage009=128.9
Voltage010=94.1
Voltage011=5.8
Voltage012=0.1
Voltage013=0.1
Voltage014=0.1
Voltage015=5.8
Voltage016=94.1
Voltage017=128.9
Voltage018=138.1

[Pattern007]
PatternName=Astigmatism 0 deg +0.25 um RMS
Voltage000=82.3
Voltage001=0.1
Voltage002=72.9
Voltage003=72.9
Voltage004=0.1
Voltage005=72.9
Voltage006=72.9
Voltage007=136.2
Voltage008=106.6
Voltage009=0.1
Voltage010=0.1
Voltage011=0.1
Voltage012=106.6
Voltage013=136.2
Voltage014=106.6
Voltage015=0.1
Voltage016=0.1
Voltage017=0.1
Voltage018=106.6

[Pattern008]
PatternName=Astigmatism 45 deg +0.25 um RMS
Voltage000=86.9
Voltage001=56.7
Voltage002=0.1
Voltage003=78.7
Voltage004=56.7
Voltage005=0.1
Voltage006=78.7
Voltage007=90.6
Voltage008=121.7
Voltage009=138
Voltage010=80.2
Voltage011=0.1
Voltage012=0.1
Voltage013=90.6
Voltage014=121.7
Voltage015=138
Voltage016=80.2
Voltage017=0.1
Voltage018=0.1

[Pattern009]
PatternName=Coma X +0.10 um RMS
Voltage000=55.5
Voltage001=68.4
Voltage002=110.6
Voltage003=110.6
Voltage004=68.4
Voltage005=0.1
Voltage006=0.1
Voltage007=73.4
Voltage008=57.1
Voltage009=0.1
Voltage010=42.5
Voltage011=0.1
Voltage012=57.1
Voltage013=73.4
Voltage014=69.8
Voltage015=100.7
Voltage016=70.5
Voltage017=100.7
Voltage018=69.8

[Pattern010]
PatternName=Coma Y +0.10 um RMS
Voltage000=61.4
Voltage001=0.1
Voltage002=0.1
Voltage003=98.7
Voltage004=111.5
Voltage005=98.7
Voltage006=0.1
Voltage007=102.4
Voltage008=74.7
Voltage009=94.6
Voltage010=68.8
Voltage011=40.6
Voltage012=48.6
Voltage013=0.1
Voltage014=48.6
Voltage015=40.6
Voltage016=68.8
Voltage017=94.6
Voltage018=74.7
