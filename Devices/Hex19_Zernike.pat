[General]
FileType=Actuator Pattern Set
PatternSetName=Hex 19 (12 mm) Zernike
PatternCount=14
VoltageCount=19
Use DM Indexing=1

[FileInformation]
FileVersion=1.0

[Pattern000]
PatternName=Horizontal Tilt
Voltage000=0
Voltage001=0
Voltage002=0
Voltage003=0
Voltage004=0
Voltage005=0
Voltage006=0
Voltage007=41
Voltage008=0
Voltage009=0
Voltage010=0
Voltage011=0
Voltage012=0
Voltage013=41
Voltage014=30
Voltage015=70
Voltage016=34
Voltage017=70
Voltage018=30

[Pattern001]
PatternName=Vertical Tilt
Voltage000=0
Voltage001=0
Voltage002=0
Voltage003=0
Voltage004=0
Voltage005=0
Voltage006=0
Voltage007=70
Voltage008=30
Voltage009=61
Voltage010=7
Voltage011=0
Voltage012=0
Voltage013=0
Voltage014=0
Voltage015=0
Voltage016=7
Voltage017=61
Voltage018=30

[Pattern002]
PatternName=90 deg Astigmatism
Voltage000=0
Voltage001=0
Voltage002=0
Voltage003=0
Voltage004=0
Voltage005=0
Voltage006=0
Voltage007=70
Voltage008=24
Voltage009=0
Voltage010=0
Voltage011=0
Voltage012=24
Voltage013=70
Voltage014=24
Voltage015=0
Voltage016=0
Voltage017=0
Voltage018=24

[Pattern003]
PatternName=Defocus
Voltage000=70
Voltage001=67
Voltage002=67
Voltage003=67
Voltage004=67
Voltage005=67
Voltage006=67
Voltage007=59
Voltage008=64
Voltage009=59
Voltage010=64
Voltage011=59
Voltage012=64
Voltage013=59
Voltage014=64
Voltage015=59
Voltage016=64
Voltage017=59
Voltage018=64

[Pattern004]
PatternName=45 deg Astigmatism
Voltage000=0
Voltage001=0
Voltage002=0
Voltage003=0
Voltage004=0
Voltage005=0
Voltage006=0
Voltage007=14
Voltage008=59
Voltage009=70
Voltage010=0
Voltage011=0
Voltage012=0
Voltage013=14
Voltage014=59
Voltage015=70
Voltage016=0
Voltage017=0
Voltage018=0

[Pattern005]
PatternName=Trefoil 1
Voltage000=0
Voltage001=0
Voltage002=0
Voltage003=0
Voltage004=0
Voltage005=0
Voltage006=0
Voltage007=0
Voltage008=70
Voltage009=0
Voltage010=0
Voltage011=0
Voltage012=70
Voltage013=0
Voltage014=0
Voltage015=0
Voltage016=50
Voltage017=0
Voltage018=0

[Pattern006]
PatternName=Horizontal Coma
Voltage000=0
Voltage001=0
Voltage002=70
Voltage003=70
Voltage004=0
Voltage005=0
Voltage006=0
Voltage007=14
Voltage008=0
Voltage009=0
Voltage010=0
Voltage011=0
Voltage012=0
Voltage013=14
Voltage014=0
Voltage015=45
Voltage016=0
Voltage017=45
Voltage018=0

[Pattern007]
PatternName=Vertical Coma
Voltage000=0
Voltage001=0
Voltage002=0
Voltage003=0
Voltage004=70
Voltage005=0
Voltage006=0
Voltage007=33
Voltage008=0
Voltage009=33
Voltage010=0
Voltage011=0
Voltage012=0
Voltage013=0
Voltage014=0
Voltage015=0
Voltage016=0
Voltage017=33
Voltage018=0

[Pattern008]
PatternName=Trefoil 2
Voltage000=0
Voltage001=0
Voltage002=0
Voltage003=0
Voltage004=0
Voltage005=0
Voltage006=0
Voltage007=0
Voltage008=0
Voltage009=70
Voltage010=0
Voltage011=0
Voltage012=0
Voltage013=70
Voltage014=0
Voltage015=0
Voltage016=0
Voltage017=70
Voltage018=0

[Pattern009]
PatternName=Quadrafoil 1
Voltage000=0
Voltage001=0
Voltage002=0
Voltage003=0
Voltage004=0
Voltage005=0
Voltage006=0
Voltage007=70
Voltage008=0
Voltage009=0
Voltage010=66
Voltage011=0
Voltage012=0
Voltage013=70
Voltage014=0
Voltage015=0
Voltage016=66
Voltage017=0
Voltage018=0

[Pattern010]
PatternName=90 2nd Astigmatism
Voltage000=0
Voltage001=70
Voltage002=0
Voltage003=0
Voltage004=70
Voltage005=0
Voltage006=0
Voltage007=0
Voltage008=0
Voltage009=36
Voltage010=0
Voltage011=36
Voltage012=0
Voltage013=0
Voltage014=0
Voltage015=36
Voltage016=0
Voltage017=36
Voltage018=0

[Pattern011]
PatternName=Sphere Aberration
Voltage000=0
Voltage001=0
Voltage002=0
Voltage003=0
Voltage004=0
Voltage005=0
Voltage006=0
Voltage007=49
Voltage008=69
Voltage009=48
Voltage010=70
Voltage011=48
Voltage012=69
Voltage013=49
Voltage014=69
Voltage015=48
Voltage016=70
Voltage017=48
Voltage018=69

[Pattern012]
PatternName=45 2nd Astigmatism
Voltage000=0
Voltage001=0
Voltage002=0
Voltage003=70
Voltage004=0
Voltage005=0
Voltage006=70
Voltage007=24
Voltage008=0
Voltage009=34
Voltage010=0
Voltage011=0
Voltage012=0
Voltage013=24
Voltage014=0
Voltage015=34
Voltage016=0
Voltage017=0
Voltage018=0

[Pattern013]
PatternName=Quadrafoil 2
Voltage000=0
Voltage001=0
Voltage002=0
Voltage003=0
Voltage004=0
Voltage005=0
Voltage006=0
Voltage007=0
Voltage008=0
Voltage009=70
Voltage010=0
Voltage011=0
Voltage012=66
Voltage013=0
Voltage014=0
Voltage015=70
Voltage016=0
Voltage017=0
Voltage018=66
