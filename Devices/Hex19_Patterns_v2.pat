[General]
FileType=Actuator Pattern Set
PatternSetName=Hex 19 (12 mm) samples (exact model, nonlinear)
PatternCount=11
VoltageCount=19

[FileInformation]
FileVersion=2.0

[Pattern0]
PatternName=Flat at 70 V
Voltage0=70
Voltage1=70
Voltage2=70
Voltage3=70
Voltage4=70
Voltage5=70
Voltage6=70
Voltage7=70
Voltage8=70
Voltage9=70
Voltage10=70
Voltage11=70
Voltage12=70
Voltage13=70
Voltage14=70
Voltage15=70
Voltage16=70
Voltage17=70
Voltage18=70

[Pattern1]
PatternName=Focus -0.25 um RMS
Voltage0=43.9
Voltage1=43.1
Voltage2=43.1
Voltage3=43.1
Voltage4=43.1
Voltage5=43.1
Voltage6=43.1
Voltage7=45.5
Voltage8=38.6
Voltage9=45.6
Voltage10=38.5
Voltage11=45.6
Voltage12=38.6
Voltage13=45.5
Voltage14=38.6
Voltage15=45.6
Voltage16=38.5
Voltage17=45.6
Voltage18=38.6

[Pattern2]
PatternName=Focus -0.10 um RMS
Voltage0=61.4
Voltage1=61.1
Voltage2=61.1
Voltage3=61.1
Voltage4=61.1
Voltage5=61.1
Voltage6=61.1
Voltage7=61.6
Voltage8=59.8
Voltage9=61.6
Voltage10=59.8
Voltage11=61.6
Voltage12=59.8
Voltage13=61.6
Voltage14=59.8
Voltage15=61.6
Voltage16=59.8
Voltage17=61.6
Voltage18=59.8

[Pattern3]
PatternName=Focus +0.10 um RMS
Voltage0=77.2
Voltage1=77.5
Voltage2=77.5
Voltage3=77.5
Voltage4=77.5
Voltage5=77.5
Voltage6=77.5
Voltage7=77.3
Voltage8=78.6
Voltage9=77.3
Voltage10=78.6
Voltage11=77.3
Voltage12=78.6
Voltage13=77.3
Voltage14=78.6
Voltage15=77.3
Voltage16=78.6
Voltage17=77.3
Voltage18=78.6

[Pattern4]
PatternName=Focus +0.25 um RMS
Voltage0=86
Voltage1=86.8
Voltage2=86.8
Voltage3=86.8
Voltage4=86.8
Voltage5=86.8
Voltage6=86.8
Voltage7=86.7
Voltage8=89.5
Voltage9=86.7
Voltage10=89.5
Voltage11=86.7
Voltage12=89.5
Voltage13=86.7
Voltage14=89.5
Voltage15=86.7
Voltage16=89.5
Voltage17=86.7
Voltage18=89.5

[Pattern5]
PatternName=Tilt X +0.50 um RMS
Voltage0=90.7
Voltage1=57.2
Voltage2=63.6
Voltage3=63.6
Voltage4=57.2
Voltage5=0.1
Voltage6=0.1
Voltage7=101.6
Voltage8=39.4
Voltage9=0.1
Voltage10=0.1
Voltage11=0.1
Voltage12=39.4
Voltage13=101.6
Voltage14=120.6
Voltage15=140
Voltage16=140
Voltage17=140
Voltage18=120.6

[Pattern6]
PatternName=Tilt Y +0.50 um RMS
Voltage0=88.6
Voltage1=0.1
Voltage2=0.1
Voltage3=80.7
Voltage4=45
Voltage5=80.7
Voltage6=0.1
Voltage7=140
Voltage8=138.1
Voltage9=128.9
Voltage10=94.1
Voltage11=5.8
Voltage12=0.1
Voltage13=0.1
Voltage14=0.1
Voltage15=5.8
Voltage16=94.1
Voltage17=128.9
Voltage18=138.1

[Pattern7]
PatternName=Astigmatism 0 deg +0.25 um RMS
Voltage0=82.3
Voltage1=0.1
Voltage2=72.9
Voltage3=72.9
Voltage4=0.1
Voltage5=72.9
Voltage6=72.9
Voltage7=136.2
Voltage8=106.6
Voltage9=0.1
Voltage10=0.1
Voltage11=0.1
Voltage12=106.6
Voltage13=136.2
Voltage14=106.6
Voltage15=0.1
Voltage16=0.1
Voltage17=0.1
Voltage18=106.6

[Pattern8]
PatternName=Astigmatism 45 deg +0.25 um RMS
Voltage0=86.9
Voltage1=56.7
Voltage2=0.1
Voltage3=78.7
Voltage4=56.7
Voltage5=0.1
Voltage6=78.7
Voltage7=90.6
Voltage8=121.7
Voltage9=138
Voltage10=80.2
Voltage11=0.1
Voltage12=0.1
Voltage13=90.6
Voltage14=121.7
Voltage15=138
Voltage16=80.2
Voltage17=0.1
Voltage18=0.1

[Pattern9]
PatternName=Coma X +0.10 um RMS
Voltage0=55.5
Voltage1=68.4
Voltage2=110.6
Voltage3=110.6
Voltage4=68.4
Voltage5=0.1
Voltage6=0.1
Voltage7=73.4
Voltage8=57.1
Voltage9=0.1
Voltage10=42.5
Voltage11=0.1
Voltage12=57.1
Voltage13=73.4
Voltage14=69.8
Voltage15=100.7
Voltage16=70.5
Voltage17=100.7
Voltage18=69.8

[Pattern10]
PatternName=Coma Y +0.10 um RMS
Voltage0=61.4
Voltage1=0.1
Voltage2=0.1
Voltage3=98.7
Voltage4=111.5
Voltage5=98.7
Voltage6=0.1
Voltage7=102.4
Voltage8=74.7
Voltage9=94.6
Voltage10=68.8
Voltage11=40.6
Voltage12=48.6
Voltage13=0.1
Voltage14=48.6
Voltage15=40.6
Voltage16=68.8
Voltage17=94.6
Voltage18=74.7
