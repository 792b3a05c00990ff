[General]
FileType=Actuator Pattern Set
PatternSetName=Ring 7 (12 mm) samples (exact model, nonlinear)
PatternCount=7
VoltageCount=7

[FileInformation]
FileVersion=1.0

[Pattern000]
PatternName=Flat at 100 V
Voltage000=100
Voltage001=100
Voltage002=100
Voltage003=100
Voltage004=100
Voltage005=100
Voltage006=100

[Pattern001]
PatternName=Focus -0.10 um RMS
Voltage000=58.8
Voltage001=53.5
Voltage002=53.5
Voltage003=53.5
Voltage004=53.5
Voltage005=53.5
Voltage006=53.5

[Pattern002]
PatternName=Focus -0.05 um RMS
Voltage000=82.2
Voltage001=80.3
Voltage002=80.3
Voltage003=80.3
Voltage004=80.3
Voltage005=80.3
Voltage006=80.3

[Pattern003]
PatternName=Focus +0.05 um RMS
Voltage000=114.8
Voltage001=116.2
Voltage002=116.2
Voltage003=116.2
Voltage004=116.2
Voltage005=116.2
Voltage006=116.2

[Pattern004]
PatternName=Focus +0.10 um RMS
Voltage000=127.6
Voltage001=130.2
Voltage002=130.2
Voltage003=130.2
Voltage004=130.2
Voltage005=130.2
Voltage006=130.2

[Pattern005]
PatternName=Tilt X +0.10 um RMS
Voltage000=94.6
Voltage001=100.7
Voltage002=145.6
Voltage003=145.6
Voltage004=100.7
Voltage005=0.1
Voltage006=0.1

[Pattern006]
PatternName=Tilt Y +0.10 um RMS
Voltage000=93.5
Voltage001=150.6
Voltage002=130.7
Voltage003=56.6
Voltage004=0.1
Voltage005=56.6
Voltage006=130.7
