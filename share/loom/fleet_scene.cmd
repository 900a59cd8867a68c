startdata rov1
Shape { appearance Appearance { material Material { diffuseColor 1 0.3 0.3 } } geometry Sphere { radius 0.2 } }
Transform { translation 0.25 0.25 0 children Shape { geometry Text { string "rov1" fontStyle FontStyle { size 0.3 } } } }
enddata
startdata rov2
Shape { appearance Appearance { material Material { diffuseColor 0.3 1 0.3 } } geometry Sphere { radius 0.2 } }
Transform { translation 0.25 0.25 0 children Shape { geometry Text { string "rov2" fontStyle FontStyle { size 0.3 } } } }
enddata
startdata rov3
Shape { appearance Appearance { material Material { diffuseColor 0.3 0.5 1 } } geometry Sphere { radius 0.2 } }
Transform { translation 0.25 0.25 0 children Shape { geometry Text { string "rov3" fontStyle FontStyle { size 0.3 } } } }
enddata
startdata rov4
Shape { appearance Appearance { material Material { diffuseColor 1 1 0.3 } } geometry Sphere { radius 0.2 } }
Transform { translation 0.25 0.25 0 children Shape { geometry Text { string "rov4" fontStyle FontStyle { size 0.3 } } } }
enddata
