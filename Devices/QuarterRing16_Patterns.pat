[General]
FileType=Actuator Pattern Set
PatternSetName=Quarter rings 16 (20 mm) samples (exact model, nonlinear)
PatternCount=10
VoltageCount=16

[FileInformation]
FileVersion=1.0

[Pattern000]
PatternName=Flat at 80 V
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

[Pattern001]
PatternName=Focus -0.10 um RMS
Voltage000=52.4
Voltage001=52.4
Voltage002=52.4
Voltage003=52.4
Voltage004=54.8
Voltage005=54.8
Voltage006=54.8
Voltage007=54.8
Voltage008=54.6
Voltage009=54.6
Voltage010=54.6
Voltage011=54.6
Voltage012=55.2
Voltage013=55.2
Voltage014=55.2
Voltage015=55.2

[Pattern002]
PatternName=Focus -0.05 um RMS
Voltage000=67.7
Voltage001=67.7
Voltage002=67.7
Voltage003=67.7
Voltage004=68.7
Voltage005=68.7
Voltage006=68.7
Voltage007=68.7
Voltage008=68.6
Voltage009=68.6
Voltage010=68.6
Voltage011=68.6
Voltage012=68.8
Voltage013=68.8
Voltage014=68.8
Voltage015=68.8

[Pattern003]
PatternName=Focus +0.05 um RMS
Voltage000=90.5
Voltage001=90.5
Voltage002=90.5
Voltage003=90.5
Voltage004=89.8
Voltage005=89.8
Voltage006=89.8
Voltage007=89.8
Voltage008=89.9
Voltage009=89.9
Voltage010=89.9
Voltage011=89.9
Voltage012=89.8
Voltage013=89.8
Voltage014=89.8
Voltage015=89.8

[Pattern004]
PatternName=Focus +0.10 um RMS
Voltage000=99.7
Voltage001=99.7
Voltage002=99.7
Voltage003=99.7
Voltage004=98.4
Voltage005=98.4
Voltage006=98.4
Voltage007=98.4
Voltage008=98.7
Voltage009=98.7
Voltage010=98.7
Voltage011=98.7
Voltage012=98.5
Voltage013=98.5
Voltage014=98.5
Voltage015=98.5

[Pattern005]
PatternName=Tilt X +0.25 um RMS
Voltage000=56.2
Voltage001=56.2
Voltage002=100.5
Voltage003=100.5
Voltage004=100.1
Voltage005=100.1
Voltage006=52.6
Voltage007=52.6
Voltage008=0.1
Voltage009=0.1
Voltage010=100.6
Voltage011=100.6
Voltage012=0.1
Voltage013=0.1
Voltage014=160
Voltage015=160

[Pattern006]
PatternName=Tilt Y +0.25 um RMS
Voltage000=100.5
Voltage001=56.2
Voltage002=56.2
Voltage003=100.5
Voltage004=52.6
Voltage005=100.1
Voltage006=100.1
Voltage007=52.6
Voltage008=100.6
Voltage009=0.1
Voltage010=0.1
Voltage011=100.6
Voltage012=160
Voltage013=0.1
Voltage014=0.1
Voltage015=160

[Pattern007]
PatternName=Astigmatism 45 deg +0.10 um RMS
Voltage000=64.1
Voltage001=85.4
Voltage002=64.1
Voltage003=85.4
Voltage004=94.4
Voltage005=77.9
Voltage006=94.4
Voltage007=77.9
Voltage008=39.6
Voltage009=84.2
Voltage010=39.6
Voltage011=84.2
Voltage012=156.2
Voltage013=0.1
Voltage014=156.2
Voltage015=0.1

[Pattern008]
PatternName=Coma X +0.05 um RMS
Voltage000=92.7
Voltage001=92.7
Voltage002=75.4
Voltage003=75.4
Voltage004=92.6
Voltage005=92.6
Voltage006=50
Voltage007=50
Voltage008=117.2
Voltage009=117.2
Voltage010=0.1
Voltage011=0.1
Voltage012=0.1
Voltage013=0.1
Voltage014=122.6
Voltage015=122.6

[Pattern009]
PatternName=Coma Y +0.05 um RMS
Voltage000=75.4
Voltage001=92.7
Voltage002=92.7
Voltage003=75.4
Voltage004=50
Voltage005=92.6
Voltage006=92.6
Voltage007=50
Voltage008=0.1
Voltage009=117.2
Voltage010=117.2
Voltage011=0.1
Voltage012=122.6
Voltage013=0.1
Voltage014=0.1
Voltage015=122.6
